#!/usr/bin/env bash
# How long a healthy run of the 64-bit Tavlen.exe takes under Wine with a warm server: median and spread of timed runs.
# Usage: bench/wine-run-time.sh [runs]; runs defaults to 20. Build first: cmake --build --preset windows-x64.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-20}
# One display for every run, as under CTest: a virtual X server per run would be timed with it.
[ -n "${DISPLAY:-}" ] || exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
exe=$top/build/windows-x64/Tavlen.exe
prefix=$(mktemp -d) out=$(mktemp -d)
run() { "$top/tests/wine-run.sh" 64 "$prefix" "$exe" "$@"; }
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true; rm -rf "$prefix" "$out"' EXIT

# The first run makes the prefix; then a server that lives on, and a run that starts Wine's own services under it.
run
WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
WINEPREFIX="$prefix" wineserver -w
WINEPREFIX="$prefix" wineserver -p
run
ms=()
for ((i = 0; i < runs; i++)); do
    t0=$EPOCHREALTIME
    run /f "Z:${out//\//\\}\\x.txt"
    t1=$EPOCHREALTIME
    ms+=($(( (${t1/./} - ${t0/./}) / 1000 )))
    [ "$(grep -c '^os=' "$out/x.txt")" -eq 1 ] || { echo "run $i wrote no whole report" >&2; exit 1; }
    rm "$out/x.txt"
done
sorted=($(printf '%s\n' "${ms[@]}" | sort -n))
median=$(( (sorted[(runs - 1) / 2] + sorted[runs / 2]) / 2 ))
echo "$runs runs of $exe under $(/usr/lib/wine/wine64 --version): median $median ms, quartiles ${sorted[runs / 4]}" \
     "to ${sorted[runs * 3 / 4]} ms, least ${sorted[0]} ms, most ${sorted[runs - 1]} ms"
