#!/bin/sh
# Gives the report's name to another file while Tavlen.exe flushes its new report: the name no longer reaches the
# file the program opened, so it must replace nothing and remove its temporary file. Wine's client flushes a file
# with fsync, which strace holds back for three seconds, just before the rename.
# Usage: wine-swap-before-rename.sh WINE-RUN 32|64 PREFIX PROGRAM.exe
wine_run=$1 bits=$2 prefix=$3 exe=$4
top=$(mktemp -d)
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null; rm -rf "$top"' EXIT
printf 'old report\r\n' >"$top/report.txt"
printf 'another file\r\n' >"$top/other.txt"

strace -f -o /dev/null true 2>/dev/null || { echo "strace cannot follow programs here"; exit 77; }
# A server that lives on for the test, and Wine's background programs started by a run under it, all outside
# strace, which then follows the program alone and ends with it. The first run makes the prefix.
"$wine_run" "$bits" "$prefix" "$exe" || exit 1
WINEPREFIX="$prefix" wineserver -k 2>/dev/null
WINEPREFIX="$prefix" wineserver -w
WINEPREFIX="$prefix" wineserver -p
"$wine_run" "$bits" "$prefix" "$exe" || exit 1

strace -f -o /dev/null -e trace=fsync -e inject=fsync:delay_enter=3000000 \
    "$wine_run" "$bits" "$prefix" "$exe" /f "Z:$(echo "$top/report.txt" | tr / '\\')" &
run=$!
for _ in $(seq 400); do
    ls "$top" | grep -q '^~tavlen-' && break
    kill -0 $run 2>/dev/null || break
    sleep 0.05
done
# The temporary file is written in moments once it is there; its flush then waits.
sleep 0.5
if ! ls "$top" | grep -q '^~tavlen-'; then
    wait $run
    echo "the run was not seen between its write and its rename; the folder: $(ls -A "$top")"
    echo "0 passed, 1 failed"
    exit 1
fi
mv "$top/report.txt" "$top/moved.txt" && mv "$top/other.txt" "$top/report.txt"
wait $run

if printf 'another file\r\n' | cmp -s - "$top/report.txt" && printf 'old report\r\n' | cmp -s - "$top/moved.txt" &&
    ! ls "$top" | grep -q '^~tavlen-'; then
    echo "1 passed, 0 failed"
    exit 0
fi
echo "the report's name holds: '$(cat "$top/report.txt")'; the folder: $(ls -A "$top")"
echo "0 passed, 1 failed"
exit 1
