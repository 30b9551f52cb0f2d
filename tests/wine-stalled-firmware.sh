#!/bin/sh
# A firmware value Wine reads that never answers must not hold Tavlen.exe past its deadline of 60 seconds: the run
# ends, leaving the old report or a whole new one whose BIOS version is empty.
# Usage: wine-stalled-firmware.sh WINE-RUN 32|64 PREFIX PROGRAM.exe
wine_run=$1 bits=$2 prefix=$3 exe=$4
dmi=/sys/class/dmi/id

# In a mount namespace of its own: the BIOS version, which Wine's ntdll reads within the program's own process
# whenever WMI asks for the firmware tables, becomes a FIFO that no one writes, so its open never returns.
if [ -n "${TAVLEN_STALL_TOP:-}" ]; then
    top=$TAVLEN_STALL_TOP
    mkfifo "$top/bios_version" || exit 1
    # A host without firmware tables (a container, some virtual machines) gets a folder of its own to stall in.
    if [ ! -d $dmi ]; then
        mount -t tmpfs tmpfs /sys/class && mkdir -p $dmi && : >$dmi/bios_version || exit 1
    fi
    mount --bind "$top/bios_version" $dmi/bios_version && : >"$top/stalled" || exit 1
    exec timeout -s KILL 120 "$wine_run" "$bits" "$prefix" "$exe" /f "Z:$(echo "$top/report.txt" | tr / '\\')"
fi

[ "$(id -u)" -eq 0 ] || { echo "mounting over $dmi needs root"; exit 77; }
unshare -m --propagation private true 2>/dev/null || { echo "unshare -m is refused here"; exit 77; }
top=$(mktemp -d)
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null; rm -rf "$top"' EXIT
trap 'exit 1' INT TERM
printf 'old report\r\n' >"$top/report.txt"

# A server that lives on for the test and a run under it outside the namespace: a new server's first program starts
# wineboot, which reads the same firmware values and which every later program waits for, so it must be done by then.
"$wine_run" "$bits" "$prefix" "$exe" || exit 1
WINEPREFIX="$prefix" wineserver -k 2>/dev/null
WINEPREFIX="$prefix" wineserver -w
WINEPREFIX="$prefix" wineserver -p
"$wine_run" "$bits" "$prefix" "$exe" || exit 1

start=$(date +%s%N)
TAVLEN_STALL_TOP="$top" unshare -m --propagation private "$0" "$wine_run" "$bits" "$prefix" "$exe"
status=$?
seconds=$(( ($(date +%s%N) - start) / 1000000000 ))
echo "the run ended with status $status after $seconds s"
[ -f "$top/stalled" ] || { echo "the FIFO could not be put over $dmi/bios_version"; echo "0 passed, 1 failed"; exit 1; }

# Sixty seconds of the program's own and fifteen for Wine to start it.
cr=$(printf '\r')
report=$top/report.txt
if [ $status -ne 137 ] && [ $seconds -le 75 ] && ! ls "$top" | grep -q '^~tavlen-' &&
    { printf 'old report\r\n' | cmp -s - "$report" ||
      { [ "$(wc -l <"$report")" -eq 6 ] && [ "$(grep -c "$cr\$" "$report")" -eq 6 ] &&
        tail -n 1 "$report" | grep -q '^os=' && grep -qx "bios=$cr" "$report"; }; }; then
    echo "1 passed, 0 failed"
    exit 0
fi
echo "the report's name holds: '$(tr -d '\r' <"$report" 2>/dev/null)'; the folder: $(ls -A "$top")"
echo "0 passed, 1 failed"
exit 1
