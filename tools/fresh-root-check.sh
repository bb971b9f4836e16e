#!/usr/bin/env bash
# Follows the README on a fresh Debian 12 as a newcomer would: makes a minimal Debian 12 root with
# debootstrap (minbase: no /etc/hosts, no compiler, nothing of the project's), copies this repository's
# committed state into it, and there runs the test command and the package check, each from scratch.
# Run as root on Debian 12 from anywhere in the repository; takes about 40 minutes on 2 cores.
#
#   bash tools/fresh-root-check.sh
#
# Environment: FRESH_ROOT (default /tmp/tarnvale-fresh-root; made afresh on every run and left in place
# afterwards for a look inside), FRESH_STEPS (default "test deb"; "test" or "deb" runs one of them).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
root=${FRESH_ROOT:-/tmp/tarnvale-fresh-root}
steps=${FRESH_STEPS:-test deb}

step() { printf '\n== %s\n' "$*"; }
fail() { printf '\nFAILED: %s\n' "$*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "run this as root (debootstrap and chroot need it)"
source "$here/tools/packages.sh"
install_missing debootstrap git

mounted=()
cleanup() {
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || true; done
}
trap cleanup EXIT

# Never delete through a mount left by an interrupted run (the package check mounts inside too).
if grep -q " $root/" /proc/mounts; then
    grep " $root/" /proc/mounts | awk '{ print $2 }' | sort -r | xargs -r -n1 umount -l
fi
grep -q " $root/" /proc/mounts && fail "$root still has mounts; unmount them first"
rm -rf --one-file-system "$root"

mirror=$(bookworm_mirror)

step "debootstrap --variant=minbase bookworm $root $mirror"
debootstrap --variant=minbase bookworm "$root" "$mirror" >/tmp/tarnvale-fresh-debootstrap.log 2>&1 \
    || fail "debootstrap could not make a root (see /tmp/tarnvale-fresh-debootstrap.log)"
rm -f "$root/etc/hosts"
[ ! -e "$root/etc/hosts" ] && echo "no /etc/hosts in the fresh root, as on a minimal install"

for m in proc sys dev dev/pts dev/shm; do
    case $m in
        proc) mount -t proc proc "$root/proc" ;;
        sys) mount -t sysfs sysfs "$root/sys" ;;
        dev/shm) mount -t tmpfs tmpfs "$root/dev/shm" ;;
        *) mount --bind "/$m" "$root/$m" ;;
    esac
    mounted+=("$root/$m")
done
cp /etc/resolv.conf "$root/etc/resolv.conf"

step "The repository as committed, in $root/root/tarnvale"
git -C "$here" archive --format=tar --prefix=tarnvale/ HEAD | tar -x -C "$root/root"

run_in_root() { chroot "$root" env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb "$@"; }
started=$SECONDS
for s in $steps; do
    case $s in
        test)
            step "In the fresh root: bash tools/setup.sh test"
            run_in_root bash -c 'cd /root/tarnvale && bash tools/setup.sh test' || fail "the test command failed in a fresh root"
            ;;
        deb)
            step "In the fresh root: bash tools/check-deb.sh"
            run_in_root bash -c 'cd /root/tarnvale && bash tools/check-deb.sh' || fail "the package check failed in a fresh root"
            ;;
        *) fail "unknown step $s (test or deb)" ;;
    esac
done
printf '\nPASSED in a fresh Debian 12 minbase root without /etc/hosts: %s (%d min)\n' "$steps" $(((SECONDS - started) / 60))
