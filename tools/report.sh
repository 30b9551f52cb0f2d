#!/usr/bin/env bash
# Builds the program, writes a report of this machine into the working folder (tavlen-report.txt), and prints it.
# Usage: report.sh [windows]; without an argument the native tavlen reports on this Linux host, with it
# Tavlen.exe reports on the Windows that Wine presents.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
target=${1:-native}

report=tavlen-report.txt
rm -f "$report"
if [ "$target" = windows ]; then
    bash "$top/tools/setup.sh" all
    # Where 32-bit code cannot run, the 64-bit Tavlen.exe reports under Wine's 64-bit loader.
    preset=windows bits=32
    bash "$top/tools/runs-32bit.sh" || preset=windows-x64 bits=64
    cmake --preset $preset -S "$top" >/dev/null
    cmake --build "$top/build/$preset" --target Tavlen -j2 >/dev/null
    run=("$top/tests/wine-run.sh" $bits "$top/build/$preset/wineprefix" "$top/build/$preset/Tavlen.exe" /f "$report")
else
    bash "$top/tools/setup.sh" native
    cmake --preset native -S "$top" >/dev/null
    cmake --build "$top/build/native" --target Tavlen -j2 >/dev/null
    run=("$top/build/native/tavlen" -f "$report")
fi

# The program says nothing and its exit status carries no result: the report is all there is.
"${run[@]}" || true
if [ ! -f "$report" ]; then
    echo "No report was written." >&2
    exit 1
fi
cat "$report"
