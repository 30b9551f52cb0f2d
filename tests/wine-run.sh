#!/bin/sh
# Runs a Windows executable under Wine for CTest and the report command: a private prefix, quiet, with a display.
# Usage: wine-run.sh 32|64 PREFIX PROGRAM.exe [ARGS...]
# The loader is named, not left to Debian's wine command, which takes the 32-bit one whenever it is installed:
# hosts that cannot run 32-bit code run 64-bit programs under the 64-bit loader alone.
bits=$1 prefix=$2
case $bits in
    32) loader=/usr/lib/wine/wine ;;
    64) loader=/usr/lib/wine/wine64; export WINEARCH=win64 ;;
    *) echo "usage: wine-run.sh 32|64 PREFIX PROGRAM.exe [ARGS...]" >&2; exit 2 ;;
esac
shift 2
export WINELOADER="$loader"
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer dialogs while the prefix is created.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Under a bare X server no window manager answers, and Wine would wait for one whenever a window is
# hidden: left unmanaged, windows come and go at once. A prefix that cannot be made stops the run with
# Wine's own words, since every test after it would fail for the same reason.
if [ "${1:-}" = --make-prefix ]; then
    [ -f "$prefix/.ready" ] && exit 0
    log="$prefix/.make.log"
    if "$loader" wineboot -i >"$log" 2>&1 && wineserver -w &&
        "$loader" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f >>"$log" 2>&1 &&
        wineserver -w; then
        touch "$prefix/.ready"
        exit 0
    fi
    echo "The Wine prefix $prefix could not be made with $loader:" >&2
    cat "$log" >&2
    exit 1
fi

# Without a display the dialog cannot be created, DoModal fails and nothing is collected.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$bits" "$prefix" "$@"
fi

if [ ! -f "$prefix/.ready" ]; then
    mkdir -p "$prefix" || exit 1
    # The lock is not passed on to Wine's background processes, which outlive the set-up.
    flock -o "$prefix/.lock" "$0" "$bits" "$prefix" --make-prefix || exit 1
fi
# Wine's own background processes would inherit CTest's output pipe and hold every test open until
# they idle out, so the program writes to a file that is passed on once it has ended.
out=$(mktemp)
"$loader" "$@" >"$out" 2>&1
status=$?
cat "$out"
rm -f "$out"
exit $status
