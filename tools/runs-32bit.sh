#!/bin/sh
# Succeeds when this host can run 32-bit x86 programs, which Wine needs for the 32-bit Tavlen.exe.
# Some virtual machines run 64-bit code only; 32-bit programs then fail with "Exec format error".
# The README shows how to take those hosts' path on one that can run 32-bit code.
exec /lib/i386-linux-gnu/ld-linux.so.2 --version >/dev/null 2>&1
