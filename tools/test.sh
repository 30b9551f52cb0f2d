#!/usr/bin/env bash
# Builds and runs the whole suite five times: natively, natively under the sanitizers, natively counting which
# functions it enters (each function of the product and of compat/ must be, or be excused in
# tools/coverage-allow.txt), for arm64 under qemu-user, and for Windows under Wine with a virtual display; then
# checks that both Windows images build to the same bytes twice.
# Every build runs even when an earlier one fails.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

bash "$top/tools/setup.sh" all || exit 1
cd "$top"
# Wine names files in the locale's character set, and a host may set none: the suites' non-ASCII names need UTF-8.
export LC_ALL=C.UTF-8

status=0
# run BUILD-PRESET TEST-PRESET [COMMAND THAT STARTS CTEST...]
# A suite that ran no test at all, because none was found or every one was skipped, has proved nothing.
run() {
    echo "=== $2"
    if ! cmake --preset "$1" || ! cmake --build --preset "$1"; then
        status=1
        return
    fi
    local log total skipped
    log=$(mktemp)
    "${@:3}" ctest --preset "$2" 2>&1 | tee "$log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    total=$(sed -n 's/.* tests failed out of \([0-9]*\)$/\1/p' "$log")
    skipped=$(grep -c '(Skipped)$' "$log")
    rm -f "$log"
    if [ -z "$total" ] || [ "$total" -le "$skipped" ]; then
        echo "=== $2 ran no test"
        status=1
    fi
}
# One display for each Windows run: the dialogs cannot be created without one.
display=(xvfb-run -a -s "-screen 0 1024x768x24")
run native native
run native-asan native-asan
# The coverage build's counts start from nothing, so only this run of its suite can have entered a function.
[ -d "$top/build/coverage" ] && find "$top/build/coverage" -name '*.gcda' -delete
run coverage coverage
echo "=== every function of the product and of compat/ is entered by the native suite"
python3 "$top/tools/check-coverage.py" "$top/build/coverage" || status=1
arch=$(dpkg --print-architecture)
# The arm64 program, cross-built, runs its suite under qemu-user wherever the kernel hands it to qemu.
if [ "$arch" = amd64 ]; then
    if [ -e /proc/sys/fs/binfmt_misc/qemu-aarch64 ]; then
        run linux-arm64 linux-arm64
    else
        echo "=== Skipped: the arm64 suite, as the kernel does not hand arm64 programs to qemu here"
    fi
fi
# Both images are built and checked everywhere; the suite runs against the 32-bit one wherever it can run.
if [ "$arch" != amd64 ]; then
    echo "=== Skipped: the Windows suite, as this $arch host cannot run x86 Windows programs; both images are built"
    echo "    and checked without running them."
    run windows windows-image
    run windows-x64 windows-x64-image
elif bash "$top/tools/runs-32bit.sh"; then
    run windows windows "${display[@]}"
    run windows-x64 windows-x64-image
else
    echo "This host runs 64-bit code only: the 32-bit Tavlen.exe is built and its image checked without running"
    echo "it, and the Windows suite runs against the 64-bit one under Wine's 64-bit loader."
    run windows windows-image
    run windows-x64 windows-x64 "${display[@]}"
fi
echo "=== the same bytes from the same sources"
bash "$top/tools/check-reproducible.sh" || status=1
for build in windows windows-x64; do
    [ -d "$top/build/$build/wineprefix" ] && command -v wineserver >/dev/null && WINEPREFIX="$top/build/$build/wineprefix" wineserver -k 2>/dev/null
done
exit $status
