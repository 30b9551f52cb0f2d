#!/bin/sh
# Kills Tavlen.exe while Wine's server holds its rename over the old report: the name must still hold the old
# report or the whole new one, never nothing. The server's renames are slowed by strace, so the kill lands there.
# Usage: wine-kill-at-rename.sh WINE-RUN 32|64 PREFIX PROGRAM.exe
wine_run=$1 bits=$2 prefix=$3 exe=$4
top=$(mktemp -d)
trap 'kill $tracer 2>/dev/null; WINEPREFIX="$prefix" wineserver -k 2>/dev/null; rm -rf "$top"' EXIT
printf 'old report\r\n' >"$top/report.txt"

# A server that lives on for the test, so that the one followed is the one that renames. It works in a folder
# named after the prefix's device and inode, in hexadecimal.
"$wine_run" "$bits" "$prefix" "$exe" || exit 1
WINEPREFIX="$prefix" wineserver -k 2>/dev/null
WINEPREFIX="$prefix" wineserver -w
WINEPREFIX="$prefix" wineserver -p
server_dir=$(printf 'server-%x-%x' $(stat -L -c '%d %i' "$prefix"))
for _ in $(seq 50); do
    for pid in $(pgrep wineserver); do
        [ "$(basename "$(readlink "/proc/$pid/cwd")")" = "$server_dir" ] && server=$pid
    done
    [ -n "${server:-}" ] && break
    sleep 0.1
done
[ -n "${server:-}" ] || { echo "no Wine server for $prefix"; exit 1; }
strace -q -f -p "$server" -o /dev/null -e trace=rename,renameat,renameat2 -e inject=rename,renameat,renameat2:delay_enter=2000000 &
tracer=$!
sleep 1
kill -0 $tracer 2>/dev/null || { echo "strace cannot follow the Wine server here"; exit 77; }

# Written and flushed in moments once its temporary file is there; the server then begins its rename two
# seconds late, and the kill lands before it. A run that ended first proved nothing: it goes again.
for attempt in 1 2 3; do
    "$wine_run" "$bits" "$prefix" "$exe" /f "Z:$(echo "$top/report.txt" | tr / '\\')" &
    run=$! seen=
    for _ in $(seq 400); do
        ls "$top" | grep -q '^~tavlen-' && seen=yes && break
        kill -0 $run 2>/dev/null || break
        sleep 0.05
    done
    sleep 0.5
    [ -n "$seen" ] && pkill -KILL -f "Tavlen.exe /f Z:" && killed=yes && echo "killed while its report was renamed"
    wait $run
    sleep 2.5
    [ -n "${killed:-}" ] && break
done
[ -n "${killed:-}" ] || { echo "no run was still renaming when it was killed"; echo "0 passed, 1 failed"; exit 1; }

report=$(tr -d '\r' <"$top/report.txt" 2>/dev/null)
lines=$(printf '%s\n' "$report" | wc -l)
if [ "$report" = "old report" ] || { [ "$lines" -eq 6 ] && printf '%s\n' "$report" | tail -n 1 | grep -q '^os='; }; then
    echo "1 passed, 0 failed"
    exit 0
fi
echo "the report's name holds: '$report'; the folder: $(ls -A "$top")"
echo "0 passed, 1 failed"
exit 1
