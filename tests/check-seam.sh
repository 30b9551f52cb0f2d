#!/bin/sh
# Checks that only the seam calls the system: every other object of the stand-in imports nothing but the
# stand-in's own names, C++'s runtime, and the C library's memory, text and formatting, which ask no system.
# Usage: check-seam.sh NM LIBRARY.a...
nm=$1
shift
defined=$("$nm" --defined-only -j "$@" 2>/dev/null | sort -u) || exit 1
[ -n "$defined" ] || { echo "no symbols found in $*"; exit 1; }
# Memory is the allocator's, whose failures the task allocator's spy and C++'s bad_alloc stand for.
pure='^(_Z|__cxa_|_Unwind_|__gxx_personality|__asan_|__ubsan_|__sanitizer_)|^(__stack_chk_fail|__dso_handle|_GLOBAL_OFFSET_TABLE_|__errno_location|memcpy|memmove|memset|memcmp|strlen|strcmp|strtoul|snprintf|vsnprintf|malloc|calloc|free|gmtime_r)$'
direct=$("$nm" -A -u "$@" | awk -v pure="$pure" '$(NF - 1) == "U" && $1 !~ /:seam\.cpp\.o:$/ && $NF !~ pure { print $1, $NF }' |
    while read -r where name; do
        echo "$defined" | grep -qxF "$name" || echo "$where $name"
    done)
[ -z "$direct" ] || { echo "calls the system past the seam:"; echo "$direct"; exit 1; }
