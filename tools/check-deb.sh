#!/usr/bin/env bash
# Builds the Debian packages and checks that they install on a clean Debian 12 and serve the map.
# Run as root on Debian 12 from anywhere in the repository:
#
#   bash tools/check-deb.sh
#
# 1. Installs what it needs, builds a release (no tests) from scratch in build-deb/ (a compiler warning
#    fails it) and makes the two .deb files with cpack (tarnvale-webserver-headless and
#    tarnvale-webserver); shows their control fields and contents and runs lintian (an error fails it).
# 2. Makes a minimal Debian 12 root with debootstrap from the mirror apt uses here, and runs
#    `apt install ./<headless package>.deb` in it, then checks that no Qt GUI library came with it.
#    When debootstrap cannot reach the mirror, it shows instead that apt would install the packages
#    here (--simulate) and where each dependency would come from, and unpacks them into a folder.
# 3. Starts the installed DF simulator on COM1 and the installed station with --headless on a free
#    port (from a settings file written for it), fetches the map with curl and stops both.
#    Then the service: its user, `systemd-analyze verify` of its unit, its manual pages, and the unit
#    started by systemd in the root booted with systemd-nspawn (or, where that cannot boot, its
#    ExecStart run by hand as its user): the map fetched, the service stopped, its settings written.
# 4. Installs the windowed package too and does the same with the windowed station (offscreen).
#
# Environment: BUILD_DIR (default <repo>/build-deb), DEB_ROOT (default /tmp/tarnvale-deb-root; made
# afresh on every run and left in place afterwards for a look inside), DEB_CHECK=simulate to skip
# debootstrap and do the check on this machine.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$here/build-deb}
root=${DEB_ROOT:-/tmp/tarnvale-deb-root}

step() { printf '\n== %s\n' "$*"; }
fail() { printf '\nFAILED: %s\n' "$*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "run this as root (debootstrap, chroot and apt need it)"

# file: CPack's DEB generator reads the programs' types with it; help2man makes the manual pages;
# lintian checks the packages as Debian would; systemd-nspawn boots the clean root to start the service.
needed=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev qt6-httpserver-dev
        qt6-websockets-dev libjs-leaflet dpkg-dev debootstrap curl file help2man lintian python3
        systemd-container)
source "$here/tools/packages.sh"
install_missing "${needed[@]}"

# --- 1. The package -------------------------------------------------------------------------------
step "Building the package in $build"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNVALE_BUILD_TESTS=OFF \
      -DTARNVALE_MAN_PAGES=ON >/dev/null
# From scratch, so every compiler warning of the release build is seen (the test builds use other flags).
cmake --build "$build" --target clean >/dev/null
cmake --build "$build" 2>&1 | tee "$build/build.log"
grep -q 'warning:' "$build/build.log" && fail "the release build shows compiler warnings (see $build/build.log)"
echo "no compiler warning"
rm -f "$build"/tarnvale-webserver*.deb
(cd "$build" && cpack -G DEB >/dev/null)
headless=$(ls "$build"/tarnvale-webserver-headless_*.deb)
windowed=$(ls "$build"/tarnvale-webserver_*.deb)
for deb in "$headless" "$windowed"; do
    step "dpkg-deb -I $(basename "$deb")"
    dpkg-deb -I "$deb"
    step "dpkg-deb -c $(basename "$deb")"
    dpkg-deb -c "$deb"
done
dpkg-deb -f "$headless" Depends | grep -q -E 'libqt6(gui|widgets)' && fail "the headless package depends on a GUI library"

step "lintian"
lintian --tag-display-limit 0 "$headless" "$windowed" | tee "$build/lintian.log" || true
grep -q '^E:' "$build/lintian.log" && fail "lintian reports errors"
echo "no lintian error ($(grep -c '^W:' "$build/lintian.log" || true) warnings)"

# --- 2. A clean Debian 12 -------------------------------------------------------------------------
mirror=$(bookworm_mirror)

pids=()
mounted=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || true; done
    if [ -n "${unpacked:-}" ]; then rm -rf "$unpacked" "$cfg"; fi
}
trap cleanup EXIT

chroot_mounts() {
    local m
    for m in proc dev dev/pts; do
        case $m in
            proc) mount -t proc proc "$root/proc" ;;
            *) mount --bind "/$m" "$root/$m" ;;
        esac
        mounted+=("$root/$m")
    done
}

# Never delete through a mount left by an interrupted run.
if grep -q " $root/" /proc/mounts; then
    grep " $root/" /proc/mounts | awk '{ print $2 }' | sort -r | xargs -r -n1 umount -l
fi
grep -q " $root/" /proc/mounts && fail "$root still has mounts; unmount them first"
rm -rf --one-file-system "$root"

step "debootstrap --variant=minbase bookworm $root $mirror"
if [ "${DEB_CHECK:-}" != simulate ] &&
    debootstrap --variant=minbase bookworm "$root" "$mirror" >/tmp/tarnvale-debootstrap.log 2>&1; then
    mode=chroot
    cp "$headless" "$windowed" "$root/tmp/"
    chroot_mounts
    step "In the clean root: apt install ./$(basename "$headless")"
    chroot "$root" sh -c "cd /tmp && apt-get update -q && DEBIAN_FRONTEND=noninteractive apt install -y ./$(basename "$headless")" \
        || fail "the headless package did not install in a clean Debian 12"
    chroot "$root" dpkg -s tarnvale-webserver-headless | grep -E '^(Status|Version):'
    if chroot "$root" dpkg -s libqt6gui6 >/dev/null 2>&1 || chroot "$root" dpkg -s libqt6widgets6 >/dev/null 2>&1; then
        fail "installing the headless package brought a Qt GUI library"
    fi
    echo "no Qt GUI library installed"
    install_windowed() {
        step "In the clean root: apt install ./$(basename "$windowed")"
        chroot "$root" sh -c "cd /tmp && DEBIAN_FRONTEND=noninteractive apt install -y ./$(basename "$windowed")" \
            || fail "the windowed package did not install on top of the headless one"
    }
    launch() { exec chroot "$root" env "$@"; }
    prefix=/usr/bin
    cfg=/tmp/tarnvale-config
    hostcfg=$root$cfg
else
    mode=simulated
    if [ "${DEB_CHECK:-}" = simulate ]; then
        echo "skipped (DEB_CHECK=simulate); checking here instead."
    else
        echo "debootstrap could not make a root (see /tmp/tarnvale-debootstrap.log); checking here instead."
    fi
    step "apt-get install --simulate $(basename "$headless") $(basename "$windowed")"
    apt-get install --simulate "$headless" "$windowed" | grep -E '^(Inst|Conf|E:)' || fail "apt cannot resolve the dependencies"
    step "apt-cache policy of each dependency"
    for dep in $( (dpkg-deb -f "$headless" Depends; echo ,; dpkg-deb -f "$windowed" Depends) | tr ',' '\n' | sed 's/(.*)//; s/|.*//' | tr -d ' ' | grep -v '^tarnvale'); do
        apt-cache policy "$dep" | sed -n 1,3p
    done
    unpacked=$(mktemp -d /tmp/tarnvale-unpacked.XXXXXX)
    dpkg-deb -x "$headless" "$unpacked"
    install_windowed() { dpkg-deb -x "$windowed" "$unpacked"; }
    launch() { exec env "$@"; }
    prefix=$unpacked/usr/bin
    cfg=$(mktemp -d /tmp/tarnvale-config.XXXXXX)
    hostcfg=$cfg
fi

# --- 3. The installed program serves the map ------------------------------------------------------
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])' 2>/dev/null \
       || shuf -i 20000-40000 -n 1)
digits=$(printf '%05d' "$port")
mkdir -p "$hostcfg/Tarnvale" "$hostcfg/runtime"
chmod 700 "$hostcfg/runtime"
# 26 lines, CR LF: COM port, five website port digits, three calibration digits, the position
# digits and the two hemispheres (the defaults apart from the port).
{
    printf ' 1 \r\n'
    for ((i = 0; i < 5; i++)); do printf ' %s \r\n' "${digits:i:1}"; done
    printf ' 0 \r\n 0 \r\n 0 \r\n'
    printf '%s\r\n' 3 4 2 5 1 1 1 1 1 9 4 4 5 0 0 N W
} >"$hostcfg/Tarnvale/Tarnvale_Demo.ini"

serve_check() {
    step "Starting the installed simulator on COM1 and the $1 station on port $port ($mode)"
    launch XDG_CONFIG_HOME="$cfg" "$prefix/tarnvale-df-simulator" --port 1 --bearing 45 --period 200 \
        >/tmp/tarnvale-simulator.log 2>&1 &
    simulator=$!
    pids+=("$simulator")
    for _ in $(seq 50); do [ -L "$hostcfg/Tarnvale/COM1" ] && break; sleep 0.1; done
    shift
    launch XDG_CONFIG_HOME="$cfg" XDG_RUNTIME_DIR="$cfg/runtime" "$@" >/tmp/tarnvale-station.log 2>&1 &
    station=$!
    pids+=("$station")

    response=""
    for _ in $(seq 100); do
        response=$(curl -s -i --max-time 5 "http://127.0.0.1:$port/map.kml" || true)
        [ -n "$response" ] && break
        sleep 0.2
    done
    sleep 1 # let a bearing or two arrive, then ask again
    response=$(curl -s -i --max-time 5 "http://127.0.0.1:$port/map.kml" || true)
    printf '%s\n' "$response" | head -12
    printf '%s\n' "$response" | grep -q '^HTTP/1\.0 200' || { cat /tmp/tarnvale-station.log; fail "the installed station did not serve the map"; }
    printf '%s\n' "$response" | grep -q '</kml>' || fail "the map document is incomplete"
    echo "..."
    printf '%s\n' "$response" | grep -o '<LineString>.*</LineString>' || true

    step "Stopping the station and the simulator (SIGTERM)"
    for pid in "$station" "$simulator"; do
        kill -TERM "$pid"
        status=0
        wait "$pid" || status=$?
        [ "$status" -eq 0 ] || fail "process $pid did not end cleanly (status $status)"
    done
    pids=()
    [ ! -e "$hostcfg/Tarnvale/COM1" ] || fail "the simulator left its COM1 link behind"
    grep -q '^ 1 ' "$hostcfg/Tarnvale/Tarnvale_Demo.ini" || fail "the station did not keep its settings file"
    echo "both ended with status 0; the COM1 link is gone"
}

# The service as installed: its user, its unit verified by systemd, its manual pages; then the unit
# itself, started by systemd in the clean root booted with systemd-nspawn, where this machine allows it
# (else its ExecStart run by hand as the unit's user, from its state folder): the map fetched, the
# service stopped, its settings written.
service_check() {
    step "The installed service"
    unit=/lib/systemd/system/tarnvale-webserver.service
    chroot "$root" id -nG tarnvale | tr ' ' '\n' | grep -qx dialout || fail "the package did not make the user tarnvale in dialout"
    chroot "$root" sh -c 'DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends systemd man-db >/dev/null' \
        || fail "systemd and man-db did not install in the clean root"
    chroot "$root" systemd-analyze verify "$unit" || fail "systemd-analyze verify rejects the unit"
    echo "systemd-analyze verify: the unit is sound"
    chroot "$root" man -P cat tarnvale-webserver | grep -q -i -E 'exit +status' || fail "man tarnvale-webserver shows no exit statuses"
    chroot "$root" man -P cat tarnvale-df-simulator | grep -q -e '--port' || fail "man tarnvale-df-simulator shows no options"
    echo "man tarnvale-webserver and man tarnvale-df-simulator show their options and exit statuses"

    state=/var/lib/tarnvale-webserver
    mkdir -p "$root$state"
    cp "$hostcfg/Tarnvale/Tarnvale_Demo.ini" "$root$state/"
    chroot "$root" chown -R tarnvale:tarnvale "$state"
    if boot_service; then
        how="started by systemd in the clean root booted with systemd-nspawn"
    else
        run_service_by_hand
        how="its ExecStart run by hand as tarnvale from $state (systemd-nspawn could not boot the root here)"
    fi
    cat /tmp/tarnvale-service.log
    grep -q "Settings written to $state/Tarnvale_Demo.ini" /tmp/tarnvale-service.log || fail "the service did not write its settings"
    echo "the service served the map and wrote its settings when stopped: $how"
}

map_answers() {
    local response="" _
    for _ in $(seq "$1"); do
        response=$(curl -s -i --max-time 5 "http://127.0.0.1:$port/" || true)
        [ -n "$response" ] && break
        sleep 0.5
    done
    printf '%s\n' "$response" | grep -q '^HTTP/1\.0 200'
}

# Boots the root (its own init, the host's network) with the unit enabled; stopping the container shuts
# the service down as systemd does. The root's mounts for chroot are taken off meanwhile.
boot_service() {
    command -v systemd-nspawn >/dev/null || return 1
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" || umount -l "${mounted[i]}" || true; done
    mounted=()
    systemctl --root="$root" enable tarnvale-webserver.service >/dev/null 2>&1
    mkdir -p "$root/var/log/journal"
    systemd-nspawn -q --register=no --keep-unit -D "$root" --boot >/tmp/tarnvale-nspawn.log 2>&1 &
    local container=$! served=0
    map_answers 120 && served=1
    kill -TERM "$container" 2>/dev/null || true
    for _ in $(seq 60); do kill -0 "$container" 2>/dev/null || break; sleep 0.5; done
    kill -KILL "$container" 2>/dev/null || true
    wait "$container" 2>/dev/null || true
    systemctl --root="$root" disable tarnvale-webserver.service >/dev/null 2>&1
    chroot_mounts
    if [ "$served" -eq 0 ]; then
        echo "systemd-nspawn --boot: no map within 60 s (see /tmp/tarnvale-nspawn.log)"
        return 1
    fi
    journalctl -D "$root/var/log/journal" -u tarnvale-webserver.service --no-pager -o cat >/tmp/tarnvale-service.log 2>&1 || true
    return 0
}

run_service_by_hand() {
    local exec_start status=0
    exec_start=$(sed -n 's/^ExecStart=//p' "$root$unit")
    chroot "$root" sh -c "cd $state && exec setpriv --reuid tarnvale --regid tarnvale --init-groups env -i PATH=/usr/bin:/bin $exec_start" \
        >/tmp/tarnvale-service.log 2>&1 &
    service=$!
    pids+=("$service")
    map_answers 40 || { cat /tmp/tarnvale-service.log; fail "the service's command did not serve the map"; }
    kill -TERM "$service"
    wait "$service" || status=$?
    pids=()
    [ "$status" -eq 0 ] || fail "the service's command ended with status $status"
}

serve_check headless env -u DISPLAY -u QT_QPA_PLATFORM "$prefix/tarnvale-webserver" --headless
[ "$mode" = chroot ] && service_check
grep -q "Serving the map on port $port" /tmp/tarnvale-station.log || fail "the headless station did not say where it serves"
install_windowed
serve_check windowed QT_QPA_PLATFORM=offscreen "$prefix/tarnvale-webserver"

printf '\nPASSED: %s installs alone without GUI libraries (%s), %s on top of it, and both stations serve the map.\n' \
    "$(basename "$headless")" "$mode" "$(basename "$windowed")"
