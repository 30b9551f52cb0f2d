#!/usr/bin/env bash
# Installs the Debian package with dpkg into a throw-away root, runs the tavlen it installed, and purges it again.
# Usage: check-package.sh FOLDER VERSION, the folder where CPack put tavlen_VERSION-1_ARCH.deb.
set -euo pipefail
shopt -s nullglob
debs=("$1"/tavlen_"$2"-1_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "not one package tavlen_$2-1_*.deb in $1: ${debs[*]}"; exit 1; }
deb=${debs[0]}
if ! command -v dpkg >/dev/null || [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: installing a package needs dpkg and root, so that its files can be root's"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
mkdir -p "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/info"
: >"$root/var/lib/dpkg/status"
# The root has no libc6 to satisfy Depends, nor an architecture of its own: the program runs with this host's libc,
# or, built for another architecture, through the emulator the kernel hands it to.
pkg() { dpkg --root="$root" --log=/dev/null --force-depends --force-architecture "$@"; }

pkg -i "$deb" >/dev/null
files=$(pkg -L tavlen)
for wanted in /usr/bin/tavlen /usr/share/man/man1/tavlen.1.gz /usr/share/doc/tavlen/copyright; do
    grep -qx "$wanted" <<<"$files" || { echo "dpkg -L does not list $wanted"; exit 1; }
done

"$root/usr/bin/tavlen" -f "$work/report.txt"
keys=$(sed -n '2,$s/=.*//p' "$work/report.txt" | tr '\n' ' ')
if [ "$(wc -l <"$work/report.txt")" -ne 6 ] || ! head -1 "$work/report.txt" | grep -qE '^[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$' ||
        [ "$keys" != "model number serial bios os " ]; then
    echo "the installed tavlen wrote:"; cat "$work/report.txt"; exit 1
fi

pkg --purge tavlen >/dev/null
left=$(cd "$root" && find . -mindepth 1 ! -path './var' ! -path './var/lib' ! -path './var/lib/dpkg' \
    ! -path './var/lib/dpkg/*' -o -path './var/lib/dpkg/info/tavlen.*')
[ -z "$left" ] || { printf 'left behind after the purge:\n%s\n' "$left"; exit 1; }
echo "installed, ran and purged: $deb"
