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
if [ "$profile" = all ] || [ "$profile" = shots ]; then
    packages+=(g++-mingw-w64-i686-posix mingw-w64-i686-dev wine wine32:i386 xvfb xauth python3-pefile)
fi
# The dialogs' Japanese texts need a Japanese code page, so a Japanese locale, and a font that has them.
if [ "$profile" = shots ]; then
    packages+=(locales fontconfig fonts-ipafont-gothic imagemagick x11-utils)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# wine32 is a 32-bit package: apt knows it only once the architecture is added.
if [ "$profile" != native ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
