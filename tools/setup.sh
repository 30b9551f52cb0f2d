#!/usr/bin/env bash
# Installs what building and testing Tavlen needs on Debian 12 or 13, amd64 or arm64, and only what is not there yet.
# Usage: setup.sh [native|all|shots]; native is enough for the Linux program, all adds Wine for the Windows one, the
# arm64 cross build and the tests on a real kernel and in a Debian 13 root, and shots adds what
# tools/screenshots.sh needs to draw the dialogs in Japanese and capture them.
# A mirror caught mid-sync fails some of apt's indexes; the set-up goes on with those that came, and fails only when
# a package it needs cannot be installed.
set -euo pipefail
profile=${1:-all}
top=$(cd "$(dirname "$0")/.." && pwd)
arch=$(dpkg --print-architecture)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# windres compiles the one resource script for both builds; it preprocesses with the mingw-w64 compiler.
packages=(
    cmake make g++ googletest
    binutils-mingw-w64-i686 gcc-mingw-w64-i686-posix
)
# The Debian package: dpkg-shlibdeps computes its Depends, lintian judges it, groff checks the manual page, and
# tools/package.sh dates it by the last commit. chattr makes the append-only folder of the report tests.
packages+=(dpkg-dev lintian groff-base git e2fsprogs)
# tools/check-coverage.py reads what gcov, which comes with g++, counted.
packages+=(python3)
skipped=()
if [ "$profile" = all ] || [ "$profile" = shots ]; then
    # The 64-bit compilers build the 64-bit Tavlen.exe. Wine takes the ANSI code page from the locale: the tests of
    # code page 932 and the dialogs' Japanese texts need a Japanese one.
    packages+=(g++-mingw-w64-i686-posix mingw-w64-i686-dev g++-mingw-w64-x86-64-posix xvfb xauth python3-pefile
               strace locales)
    if [ "$arch" = amd64 ]; then
        # wine64 alone serves hosts that cannot run 32-bit code; wine32 comes on its own below.
        packages+=(wine wine64)
    else
        skipped+=("Wine (this $arch host cannot run x86 Windows programs: the Windows images are built and checked unrun)")
    fi
fi
if [ "$profile" = all ]; then
    # The tests on a real kernel boot Debian's cloud one under qemu, with busybox in an initramfs that cpio packs;
    # its kernel must be of the program's architecture, and only the amd64 one is booted. Samba serves the share
    # that kernel's CIFS client mounts.
    if [ "$arch" = amd64 ]; then
        packages+=(qemu-system-x86 linux-image-cloud-amd64 busybox-static cpio samba)
        # The arm64 program is cross-built and its suite run under user-mode emulation.
        packages+=(g++-aarch64-linux-gnu qemu-user-static)
    else
        skipped+=("the real-kernel test and the arm64 cross build (they need an amd64 host; this one is $arch)")
    fi
    # The package is installed into a minimal Debian 13 root, where Debian 13's lintian judges it too.
    packages+=(mmdebstrap)
fi
# The dialogs' Japanese texts need a font that has them.
if [ "$profile" = shots ]; then
    packages+=(fontconfig fonts-ipafont-gothic imagemagick x11-utils)
fi

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# A mirror mid-sync fails an index now and then: try a few times, then go on with the indexes that came.
apt_updated=""
apt_update() {
    [ -n "$apt_updated" ] && return 0
    apt_updated=1
    local try out
    for try in 1 2 3; do
        if out=$($sudo apt-get update -qq 2>&1); then
            return 0
        fi
        [ "$try" -lt 3 ] && sleep $((try * 5))
    done
    echo "apt-get update failed for some indexes; going on with the rest:"
    grep -E '^(E|W):' <<<"$out" | head -n 4
    return 0
}

# Installs those of the packages that are not there yet; apt's own words say why one could not be.
install_missing() {
    local missing=() package
    for package in "$@"; do
        installed "$package" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    apt_update
    # --no-remove: a package that only installs by taking another away is a failure, not a change to this host.
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-remove "${missing[@]}" >/dev/null
}

had_samba=""
installed samba && had_samba=1
install_missing "${packages[@]}"

# Samba comes for its smbd alone, which the SMB test starts on a port of its own. Where installing it started the
# system's file sharing, that is stopped and disabled again: a machine that runs the tests shares nothing.
if [ -z "$had_samba" ] && installed samba && [ -d /run/systemd/system ]; then
    $sudo systemctl disable --now smbd nmbd samba-ad-dc >/dev/null 2>&1 || true
fi

# The 32-bit Tavlen.exe runs under 32-bit Wine, which only a host that runs 32-bit x86 code can use. Where that
# cannot be installed the suite runs against the 64-bit image instead, as on hosts without 32-bit support.
if [ "$profile" != native ] && [ "$arch" = amd64 ]; then
    if ! bash "$top/tools/runs-32bit.sh" kernel; then
        skipped+=("32-bit Wine (this host cannot run 32-bit x86 code: the Windows suite runs the 64-bit image)")
    elif ! installed wine32:i386; then
        # wine32 is a 32-bit package: apt knows it only once the architecture is added.
        if ! dpkg --print-foreign-architectures | grep -qx i386; then
            $sudo dpkg --add-architecture i386
            apt_updated=""
        fi
        if ! install_missing wine32:i386 2>/tmp/tavlen-wine32.$$; then
            skipped+=("32-bit Wine (apt cannot install wine32:i386 now, $(grep -m1 '^E:' /tmp/tavlen-wine32.$$ || echo 'no reason given'); the Windows suite runs the 64-bit image)")
        fi
        rm -f /tmp/tavlen-wine32.$$
    fi
fi

# The arm64 suite starts the arm64 tavlen from a shell, which the kernel hands to qemu only once qemu is registered
# for such programs; a host without systemd's binfmt service leaves that to us.
binfmt=/proc/sys/fs/binfmt_misc
if [ "$profile" = all ] && [ "$arch" = amd64 ]; then
    { mountpoint -q $binfmt || $sudo mount -t binfmt_misc binfmt_misc $binfmt; } 2>/dev/null || true
    [ -e $binfmt/qemu-aarch64 ] || $sudo tee $binfmt/register </usr/lib/binfmt.d/qemu-aarch64.conf >/dev/null 2>&1 ||
        skipped+=("the arm64 suite (the kernel would not hand arm64 programs to qemu: binfmt_misc refused)")
fi

# Without it Wine would quietly run in its default code page, 1252.
locale=ja_JP.UTF-8
if [ "$profile" != native ] && ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
    echo "Generating the locale $locale"
    $sudo localedef -i ja_JP -c -f UTF-8 "$locale"
fi

for what in "${skipped[@]}"; do
    echo "Skipped: $what"
done
