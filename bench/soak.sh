#!/usr/bin/env bash
# A soak run of the headless station: bench/soak.sh [minutes] (default 10). Builds a release binary and
# the DF unit simulator, runs the station under load with the serial device pulled away every minute,
# and writes bench/soak.md and bench/soak.png. Not part of the test suite. Exit status 1 when it failed.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
minutes=${1:-10}

packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev libqt6serialport6
          python3 gnuplot-nox)
source tools/packages.sh
install_missing "${packages[@]}"

build=build-release
echo "== Building the station and the DF simulator (Release) in $build/"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNVALE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target tarnvale-webserver tarnvale-df-simulator

echo "== Soaking for $minutes minutes"
exec /usr/bin/python3 bench/soak.py "$build/src/tarnvale-webserver" "$build/tools/df-simulator/tarnvale-df-simulator" "$minutes"
