#!/usr/bin/env bash
# Installs what is missing (Debian 12, as root), builds, and then either starts the station or runs
# every test. Safe to run again: it installs and rebuilds only what is needed.
#
#   bash tools/setup.sh run    build and start the station
#   bash tools/setup.sh test   build and run the whole test suite, then again built with the sanitizers
set -euo pipefail

mode=${1:-}
case "$mode" in
    run|test) ;;
    *) echo "usage: bash tools/setup.sh run|test" >&2; exit 2 ;;
esac

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"

packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev libqt6serialport6
          qt6-httpserver-dev qt6-websockets-dev libqt6httpserver6 libjs-leaflet
          libgtest-dev libgmock-dev fonts-liberation)
if [ "$mode" = test ]; then
    # Independent consumers of the served map, and a client to fetch it with; gnuplot for the
    # bearing log's plot; nginx for the cache in front of the station; a real browser for the live map.
    packages+=(gdal-bin curl python3 gnuplot-nox nginx-light chromium chromium-driver python3-selenium)
fi

source tools/packages.sh
install_missing "${packages[@]}"

# Compiler warnings are errors (one build folder serves both commands, so neither rebuilds the other's).
build=build
echo "== Building in $build/"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNVALE_WARNINGS_AS_ERRORS=ON
cmake --build "$build"

if [ "$mode" = run ]; then
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
        echo "== No display: starting the headless station; stop it with Ctrl+C"
        exec "$build/src/tarnvale-webserver" --headless
    fi
    echo "== Starting the station: $build/src/tarnvale-webserver"
    exec "$build/src/tarnvale-webserver"
fi

# Both halves always run, so one failing test in the first never hides what the second finds; the
# status at the end is that of both. Skipped tests are listed with their reasons.
run_tests() {
    local folder=$1 status=0
    (cd "$folder" && ctest --output-on-failure --timeout 300) || status=$?
    # gtest writes "<file>:<line>: Skipped", the reason, then "[  SKIPPED ] <test> (<time>)".
    awk '/: Skipped$/ { getline reason } /^\[  SKIPPED \] [^ ]+ \(/ { print "   skipped: " $4 ": " reason }' \
        "$folder/Testing/Temporary/LastTest.log" 2>/dev/null | sort -u || true
    return "$status"
}

echo "== Running the tests"
mkdir -p /tmp/tarnvale-test-runtime && chmod 700 /tmp/tarnvale-test-runtime
plain=0
run_tests "$build" || plain=$?

# The same tests once more, built with AddressSanitizer and UndefinedBehaviorSanitizer: any memory
# error, leak or undefined behaviour fails the run. The build runs the test binaries too (to list
# their cases), so the options are set before it.
asan=build-asan
sanitize="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1
export LSAN_OPTIONS="suppressions=$here/tests/hardening/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$here/tests/hardening/ubsan.supp"
echo "== Building with the sanitizers in $asan/"
sanitized=0
if cmake -S . -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1 $sanitize" \
         -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" -DTARNVALE_WARNINGS_AS_ERRORS=ON &&
   cmake --build "$asan"; then
    echo "== Running the tests with the sanitizers"
    run_tests "$asan" || sanitized=$?
else
    sanitized=1
fi

report() { [ "$1" -eq 0 ] && echo passed || echo "FAILED (status $1)"; }
echo "== Tests: $(report "$plain"); with the sanitizers: $(report "$sanitized")"
[ "$plain" -eq 0 ] && [ "$sanitized" -eq 0 ]
