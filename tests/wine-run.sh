#!/bin/sh
# Runs a Windows executable under Wine for CTest: a private prefix in the build tree, quiet, with a display.
# Usage: wine-run.sh PREFIX PROGRAM.exe [ARGS...]
prefix=$1
shift
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer dialogs while the prefix is created.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Without a display the dialog cannot be created, DoModal fails and nothing is collected.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$prefix" "$@"
fi

# Under a bare X server no window manager answers, and Wine would wait for one whenever a window is
# hidden: left unmanaged, windows come and go at once.
if [ ! -f "$prefix/.ready" ]; then
    mkdir -p "$prefix"
    flock "$prefix/.lock" sh -c '
        [ -f "$WINEPREFIX/.ready" ] && exit 0
        wineboot -i >/dev/null 2>&1 && wineserver -w &&
        wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f >/dev/null 2>&1 &&
        wineserver -w && touch "$WINEPREFIX/.ready"'
fi
# Wine's own background processes would inherit CTest's output pipe and hold every test open until
# they idle out, so the program writes to a file that is passed on once it has ended.
out=$(mktemp)
wine "$@" >"$out" 2>&1
status=$?
cat "$out"
rm -f "$out"
exit $status
