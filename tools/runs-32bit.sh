#!/bin/sh
# Succeeds when this host can run 32-bit x86 programs, which Wine needs for the 32-bit Tavlen.exe.
# Some virtual machines run 64-bit code only; 32-bit programs then fail with "Exec format error".
# TAVLEN_FORCE_64BIT_WINE=1 makes it fail anyway, to try those hosts' path here.
[ "${TAVLEN_FORCE_64BIT_WINE:-0}" = 1 ] && exit 1
exec /lib/i386-linux-gnu/ld-linux.so.2 --version >/dev/null 2>&1
