#!/usr/bin/env bash
# Builds Tavlen.exe, runs it under Wine to write a report of this machine into the working folder, and prints it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

bash "$top/tools/setup.sh"
cmake --preset windows -S "$top" >/dev/null
cmake --build "$top/build/windows" --target Tavlen -j2 >/dev/null

report=tavlen-report.txt
rm -f "$report"
# The program says nothing and its exit status carries no result: the report is all there is.
"$top/tests/wine-run.sh" "$top/build/windows/wineprefix" "$top/build/windows/Tavlen.exe" /f "$report" || true
if [ ! -f "$report" ]; then
    echo "No report was written." >&2
    exit 1
fi
cat "$report"
