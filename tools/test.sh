#!/usr/bin/env bash
# Builds and runs the whole suite three times: natively, natively under the sanitizers, and for Windows
# under Wine with a virtual display. Every build runs even when an earlier one fails.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

bash "$top/tools/setup.sh" all || exit 1
cd "$top"

status=0
run() {
    echo "=== $1"
    cmake --preset "$1" && cmake --build --preset "$1" && "${@:2}" ctest --preset "$1" || status=1
}
run native
run native-asan
# One display for the whole run: the dialog cannot be created without one.
run windows xvfb-run -a -s "-screen 0 1024x768x24"
WINEPREFIX="$top/build/windows/wineprefix" wineserver -k 2>/dev/null || true
exit $status
