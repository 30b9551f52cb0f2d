#!/bin/sh
# Succeeds when this host can run the 32-bit Tavlen.exe: the kernel runs 32-bit x86 code and 32-bit Wine is there.
# Usage: runs-32bit.sh [kernel]; with kernel, only whether the kernel runs 32-bit x86 code, which the set-up asks
# before it installs anything 32-bit, so no loader can answer for it.
# Some virtual machines run 64-bit code only; 32-bit programs then fail with "Exec format error". wine64 brings the
# 32-bit C library with it, so the 32-bit loader alone proves nothing: Wine's own 32-bit loader must start.
# The README shows how to take those hosts' path on one that can run 32-bit code.
set -u
# A static i386 program of 91 bytes that only calls exit(0).
elf=f0VMRgEBAQAAAAAAAAAAAAIAAwABAAAAVIAECDQAAAAAAAAAAAAAADQAIAABAAAAAAAAAAEAAAAAAAAAAIAECACABAhbAAAAWwAAAAUAAAAAEAAAMdsxwEDNgA==
probe=$(mktemp) || exit 1
trap 'rm -f "$probe"' EXIT
echo "$elf" | base64 -d >"$probe" && chmod +x "$probe" && "$probe" 2>/dev/null || exit 1
[ "${1:-}" = kernel ] && exit 0
/usr/lib/wine/wine --version >/dev/null 2>&1
