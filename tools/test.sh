#!/usr/bin/env bash
# Builds and runs the whole suite three times: natively, natively under the sanitizers, and for Windows
# under Wine with a virtual display. Every build runs even when an earlier one fails.
# Set TAVLEN_FORCE_64BIT_WINE=1 to take the path of hosts that cannot run 32-bit code.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

bash "$top/tools/setup.sh" all || exit 1
cd "$top"

status=0
# run BUILD-PRESET TEST-PRESET [COMMAND THAT STARTS CTEST...]
run() {
    echo "=== $2"
    cmake --preset "$1" && cmake --build --preset "$1" && "${@:3}" ctest --preset "$2" || status=1
}
# One display for each Windows run: the dialogs cannot be created without one.
display=(xvfb-run -a -s "-screen 0 1024x768x24")
run native native
run native-asan native-asan
if bash "$top/tools/runs-32bit.sh"; then
    run windows windows "${display[@]}"
else
    echo "This host runs 64-bit code only: Tavlen.exe is built and its image checked without running it,"
    echo "and the Windows suite runs as a 64-bit build of the same sources under 64-bit Wine."
    run windows windows-image
    run windows-x64 windows-x64 "${display[@]}"
fi
for build in windows windows-x64; do
    [ -d "$top/build/$build/wineprefix" ] && WINEPREFIX="$top/build/$build/wineprefix" wineserver -k 2>/dev/null
done
exit $status
