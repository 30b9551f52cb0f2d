#!/usr/bin/env bash
# Installs the Debian package into a throw-away root, runs the tavlen it installed, and purges it again.
# Usage: check-package.sh FOLDER VERSION [RELEASE [CACHE]], FOLDER where CPack put tavlen_VERSION-1_ARCH.deb.
# Without RELEASE the root is empty and dpkg installs into it from outside. With one (trixie) it is a minimal Debian
# root of that release, where dpkg checks the package's dependencies and Debian's lintian of that release judges it;
# the root is made once by mmdebstrap and kept as a tarball in CACHE (FOLDER by default).
set -euo pipefail
shopt -s nullglob
folder=$1 version=$2 release=${3:-} cache=${4:-$1}
debs=("$folder"/tavlen_"$version"-1_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "not one package tavlen_$version-1_*.deb in $folder: ${debs[*]}"; exit 1; }
deb=${debs[0]}
needs=(dpkg)
[ -z "$release" ] || needs+=(mmdebstrap chroot unshare)
missing=$(for tool in "${needs[@]}"; do command -v "$tool" >/dev/null || echo "$tool"; done)
if [ -n "$missing" ] || [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: installing a package${release:+ into Debian $release} needs ${needs[*]} and root, so that its files can be root's"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
mkdir "$root"

if [ -z "$release" ]; then
    mkdir -p "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/info"
    : >"$root/var/lib/dpkg/status"
    # The root has no libc6 to satisfy Depends and the package may be of an architecture that the host runs only
    # through qemu; the program runs with this host's libraries.
    pkg() { dpkg --root="$root" --log=/dev/null --force-depends --force-architecture "$@"; }
    tavlen() { "$root/usr/bin/tavlen" "$@"; }
    report=$work/report.txt
    inside=$report
else
    arch=$(dpkg --print-architecture)
    tarball=$cache/debian-$release-$arch-minbase-lintian.tar
    # Only this host's architecture: its foreign ones need not be whole on the mirror. Only the release's main
    # suite, the fewest indexes that a mirror mid-sync can have half-written; a failed try is tried again. man-db
    # makes its cache's folders at its first run, so that is done here rather than by the package's trigger.
    make_root() {
        mkdir -p "$cache"
        local part try
        part=$(mktemp "$tarball.XXXXXX")
        for try in 1 2 3; do
            if mmdebstrap --format=tar --variant=minbase --architectures="$arch" --include=lintian \
                    --customize-hook='chroot "$1" mandb -q' "$release" "$part" http://deb.debian.org/debian \
                    >"$work/mmdebstrap.log" 2>&1; then
                mv "$part" "$tarball"
                return 0
            fi
            [ "$try" -eq 3 ] || sleep $((try * 20))
        done
        rm -f "$part"
        echo "mmdebstrap could not make a Debian $release root:"; tail -n 15 "$work/mmdebstrap.log"
        exit 1
    }
    # Temporaries of a run that was killed are dropped; a finished tarball is only ever renamed into place.
    find "$cache" -maxdepth 1 -name "${tarball##*/}.??????" -mmin +60 -delete 2>/dev/null || true
    [ -f "$tarball" ] || make_root
    if ! tar -C "$root" -xf "$tarball" 2>"$work/tar.log"; then
        echo "remaking $tarball, which did not unpack: $(head -n 1 "$work/tar.log")"
        rm -rf "$root" "$tarball" && mkdir "$root"
        make_root
        tar -C "$root" -xf "$tarball"
    fi
    # Each command sees the root as a real system would, /proc and /sys mounted, in a mount namespace of its own
    # that takes those mounts with it when it ends.
    # Where this host is itself a chroot, whose / is no mount point, no namespace can be made private, and the root
    # goes without them, as the other root does.
    enter=(unshare --mount --propagation private -- sh -c
           'mount -t proc proc "$0/proc" && mount -o bind,ro /sys "$0/sys" && exec chroot "$0" "$@"')
    unshare --mount --propagation private true 2>/dev/null || enter=(chroot)
    inroot() { "${enter[@]}" "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
    pkg() { inroot dpkg "$@"; }
    tavlen() { inroot tavlen "$@"; }
    cp "$deb" "$root/tmp/"
    deb=/tmp/${deb##*/}
    report=$root/tmp/report.txt
    inside=/tmp/report.txt
fi
# dpkg's database and log are meant to change; everything else must be as it was once the package is purged.
listing() { (cd "$root" && find . -xdev -path ./var/lib/dpkg -prune -o -path ./var/log -prune -o -print | sort); }
listing >"$work/before"

pkg -i "$deb" >/dev/null
files=$(pkg -L tavlen)
for wanted in /usr/bin/tavlen /usr/share/man/man1/tavlen.1.gz /usr/share/doc/tavlen/copyright; do
    grep -qx "$wanted" <<<"$files" || { echo "dpkg -L does not list $wanted"; exit 1; }
done

tavlen -f "$inside"
keys=$(sed -n '2,$s/=.*//p' "$report" | tr '\n' ' ')
if [ "$(wc -l <"$report")" -ne 6 ] || ! head -1 "$report" | grep -qE '^[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$' ||
        [ "$keys" != "model number serial bios os " ]; then
    echo "the installed tavlen wrote:"; cat "$report"; exit 1
fi
rm "$report"

pkg --purge tavlen >/dev/null
listing >"$work/after"
left=$(diff "$work/before" "$work/after" | grep '^[<>]'; cd "$root" && find ./var/lib/dpkg/info -name 'tavlen.*' -printf '> %p\n')
[ -z "$left" ] || { printf 'left behind (>) or taken away (<) by the purge:\n%s\n' "$left"; exit 1; }

if [ -n "$release" ]; then
    # As nobody, as lintian would rather be run.
    inroot setpriv --reuid=nobody --regid=nogroup --clear-groups lintian --fail-on error,warning "$deb" ||
        { echo "Debian $release's lintian judged ${deb##*/} as above"; exit 1; }
fi
echo "installed, ran and purged${release:+ in Debian $release}: ${deb##*/}"
