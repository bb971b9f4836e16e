#!/usr/bin/env bash
# The bench: builds a release binary of the station and measures, in one run on this machine, the
# headless station's map requests against a bare Qt server, nginx and Python's http.server (wrk, and
# ab), its bearing latency, its memory (and the windowed station's at start) and its idle CPU, the
# instructions it spends per request (callgrind), how soon a map viewer is answered while 2,000 silent
# connections are held open at the usual open-file limit, and the station behind nginx as a one-second
# cache against the station alone; then (bench/fairness.py) how soon a probe is answered while wrk keeps
# 200, 500 and 2,000 clients busy, and how soon SIGTERM ends the station under 2,000, each beside nginx;
# and (bench/burst.py) its memory after a burst of connections beside nginx's; and (bench/fix.py) how often
# the fix's 95 % error ellipse holds the target over seeded trials. Prints the figures and
# writes them to bench/results.md. Not part of the test suite; takes about twenty minutes.
#
#   bash bench/run.sh [--seconds N] [--sentences N] [--idle N]
#   bash bench/run.sh --only-silent    only the silent-connection figure; updates its section of results.md
#   bash bench/run.sh --only-cache     only the station alone and behind the cache; updates that section
#   bash bench/run.sh --only-fairness  only the probes and stop times under load; updates that section
#   bash bench/run.sh --only-burst     only the memory after a burst of connections (bench/burst.py)
#   bash bench/run.sh --only-feed      only a bearing's way to the live map's readers (bench/feed.py)
#   bash bench/run.sh --only-fix       only how often the fix's 95 % ellipse holds the target (bench/fix.py)
#   bash bench/run.sh --only-cost [--before OTHER_BINARY]
#                                      only the request cost: 50 clients beside nginx and the instructions
#                                      per request (bench/cost.py), another build in the same run if given
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"

packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev libqt6serialport6
          fonts-liberation nginx-light apache2-utils wrk python3 valgrind)
source tools/packages.sh
install_missing "${packages[@]}"
# Installing nginx may start Debian's own instance; the bench starts its own on a free port.

build=build-release
echo "== Building the station (Release) in $build/"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNVALE_BUILD_TESTS=OFF >/dev/null
fix="$build/bench/fixcoverage/tarnvale-bench-fixcoverage"
if [ "${1:-}" = --only-fix ]; then
    cmake --build "$build" --target tarnvale-bench-fixcoverage
    exec /usr/bin/python3 bench/fix.py "$fix"
fi
# The windowed executable too: the bench compares its memory at start with the headless station's.
cmake --build "$build" --target tarnvale-webserver tarnvale-webserver-windows tarnvale-bench-bare-qt \
    tarnvale-bench-fixcoverage

# A thousand idle connections, ab's fifty, the client holding 2,000 silent ones and wrk's 2,000 clients
# (with the server's 2,000 ends) need descriptors.
ulimit -n "$(ulimit -Hn)" 2>/dev/null || true
if [ "$(ulimit -n)" != unlimited ] && [ "$(ulimit -n)" -lt 8192 ]; then
    echo "The bench needs 8192 open files (ulimit -n); this shell allows $(ulimit -n)." >&2
    exit 1
fi

echo "== Measuring (bench/work/ holds the run's files)"
station="$build/src/tarnvale-webserver"
case "${1:-}" in
    --only-fairness) exec /usr/bin/python3 bench/fairness.py "$station" ;;
    --only-burst) exec /usr/bin/python3 bench/burst.py "$station" ;;
    --only-feed) exec /usr/bin/python3 bench/feed.py "$station" ;;
    --only-cost) shift; exec /usr/bin/python3 bench/cost.py "$station" "$@" ;;
esac
status=0
/usr/bin/python3 bench/bench.py "$station" --bare "$build/bench/bare-qt/tarnvale-bench-bare-qt" "$@" || status=$?
case " $* " in
*" --only-silent "* | *" --only-cache "*) exit $status ;;
esac
echo "== Fair service and stopping under load"
/usr/bin/python3 bench/fairness.py "$station" || status=$?
# Memory after a burst of as many connections as the open-file limit allows.
echo "== Memory after a burst of connections"
/usr/bin/python3 bench/burst.py "$station" || status=$?
echo "== The fix's error ellipse over seeded trials"
/usr/bin/python3 bench/fix.py "$fix" || status=$?
exit $status
