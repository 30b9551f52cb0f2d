#!/usr/bin/env bash
# Installs what building and testing Tavlen needs on Debian 12, and only what is not there yet.
# Usage: setup.sh [native|all|shots]; native is enough for the Linux program, all adds Wine for the Windows one,
# and shots adds what tools/screenshots.sh needs to draw the dialogs in Japanese and capture them.
set -euo pipefail
profile=${1:-all}

# windres compiles the one resource script for both builds; it preprocesses with the mingw-w64 compiler.
packages=(
    cmake make g++ googletest
    binutils-mingw-w64-i686 gcc-mingw-w64-i686-posix
)
# The Debian package: dpkg-shlibdeps computes its Depends, lintian judges it, groff checks the manual page.
packages+=(dpkg-dev lintian groff-base)
# tools/check-coverage.py reads what gcov, which comes with g++, counted.
packages+=(python3)
if [ "$profile" = all ] || [ "$profile" = shots ]; then
    # wine64 and the 64-bit compilers serve hosts that cannot run 32-bit code, and the 64-bit Tavlen.exe.
    # Wine takes the ANSI code page from the locale: the tests of code page 932 and the dialogs' Japanese texts
    # need a Japanese one.
    packages+=(g++-mingw-w64-i686-posix mingw-w64-i686-dev wine wine32:i386 xvfb xauth python3-pefile strace
               wine64 g++-mingw-w64-x86-64-posix locales)
fi
# The test on a real kernel boots Debian's cloud one under qemu, with busybox in an initramfs that cpio packs.
if [ "$profile" = all ]; then
    packages+=(qemu-system-x86 linux-image-cloud-amd64 busybox-static cpio)
fi
# The dialogs' Japanese texts need a font that has them.
if [ "$profile" = shots ]; then
    packages+=(fontconfig fonts-ipafont-gothic imagemagick x11-utils)
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# Installs those of the packages that are not there yet.
install_missing() {
    local missing=() package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    # wine32 is a 32-bit package: apt knows it only once the architecture is added.
    if [ "$profile" != native ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

install_missing "${packages[@]}"

# Without it Wine would quietly run in its default code page, 1252.
locale=ja_JP.UTF-8
if [ "$profile" != native ] && ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
    echo "Generating the locale $locale"
    $sudo localedef -i ja_JP -c -f UTF-8 "$locale"
fi
