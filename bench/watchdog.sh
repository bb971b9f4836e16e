#!/usr/bin/env bash
# The DF watchdog's timing: bash bench/watchdog.sh [trials] (default 100). Builds a release binary and
# times, on the headless station, the withdrawal of the bearing after one sentence and silence; writes
# bench/watchdog.md. Not part of the test suite; exit status 1 when a trial came in under 1000 ms.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev libqt6serialport6 python3)
source tools/packages.sh
install_missing "${packages[@]}"

build=build-release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNVALE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target tarnvale-webserver
exec /usr/bin/python3 bench/watchdog.py "$build/src/tarnvale-webserver" "${1:-100}"
