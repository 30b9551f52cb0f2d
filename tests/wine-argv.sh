#!/bin/sh
# Starts Tavlen.exe as a Linux shell does, `wine Tavlen.exe /f PATH` with a UTF-8 argv, in code pages 1252 and 932.
# Usage: wine-argv.sh WINE-RUN 32|64 PREFIX PROGRAM.exe
wine_run=$1 bits=$2 prefix=$3 exe=$4
failed=0

# expect LOCALE PATH KEPT WRITTEN: Wine takes the code page from the locale. KEPT, the file below the top folder
# that the path's look-alikes resemble, must stay as it was; WRITTEN, the file of exactly the path's name, must be
# written; "-" for none. The program runs in the top folder's "work", which has a folder "sub", and nothing else
# may appear.
expect() {
    top=$(mktemp -d)
    mkdir -p "$top/work/sub"
    [ "$3" != - ] && echo "kept as it was" >"$top/$3"
    before=$(cd "$top" && find . | LC_ALL=C sort)
    [ "$4" != - ] && before=$(printf '%s\n./%s' "$before" "$4" | LC_ALL=C sort)
    (cd "$top/work" && LC_ALL=$1 "$wine_run" "$bits" "$prefix" "$exe" /f "$2")
    after=$(cd "$top" && find . | LC_ALL=C sort)
    if [ "$after" != "$before" ] || { [ "$3" != - ] && [ "$(cat "$top/$3")" != "kept as it was" ]; }; then
        echo "FAILED: LC_ALL=$1 wine Tavlen.exe /f '$2' should have kept $3 and written $4; the folders hold:" $after
        failed=$((failed + 1))
    fi
    rm -rf "$top"
}

# Through the ANSI code page these paths named the look-alikes' files, and were rejected for it.
expect C.UTF-8 'sub\．．＼esc.txt' work/esc.txt 'work/sub/．．＼esc.txt'
expect C.UTF-8 'é.txt' - work/é.txt
expect ja_JP.UTF-8 'sub¥..¥yen.txt' work/yen.txt 'work/sub¥..¥yen.txt'
# Code page 1252 lacks it: written, it shows that the locale gave code page 932.
expect ja_JP.UTF-8 '表.txt' - work/表.txt
echo "$((4 - failed)) passed, $failed failed"
[ $failed -eq 0 ]
