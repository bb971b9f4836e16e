# Sourced by the project's scripts: install_missing PACKAGE... installs, from Debian's archive, those of
# the packages that are not installed yet (apt-get update first, only when something is missing).
install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -eq 0 ]; then
        echo "== All needed packages are installed"
        return 0
    fi
    echo "== Installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages need root: run this as root (or with sudo)." >&2
        return 1
    fi
    DEBIAN_FRONTEND=noninteractive apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# bookworm_mirror prints the Debian 12 mirror apt already uses here (deb822 sources first, then the
# one-line form), for debootstrap.
bookworm_mirror() {
    local mirror
    mirror=$(awk 'BEGIN { RS = "" } /Suites:[^\n]*bookworm([ \n]|$)/ && match($0, /URIs:[ \t]*[^ \t\n]+/) {
                     s = substr($0, RSTART, RLENGTH); sub(/URIs:[ \t]*/, "", s); print s; exit }' \
                 /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
    if [ -z "$mirror" ] && [ -f /etc/apt/sources.list ]; then
        mirror=$(awk '$1 == "deb" { i = 2; if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
                                    if ($(i + 1) == "bookworm") { print $i; exit } }' /etc/apt/sources.list)
    fi
    echo "${mirror:-http://deb.debian.org/debian}"
}
