#!/bin/sh
# Starts Tavlen.exe as a Linux shell does, `wine Tavlen.exe /f PATH` with a UTF-8 argv, in code pages 1252 and 932.
# Usage: wine-argv.sh WINE-RUN 32|64 PREFIX PROGRAM.exe
wine_run=$1 bits=$2 prefix=$3 exe=$4
failed=0

# expect LOCALE PATH kept|written FILE: Wine takes the code page from the locale. A path of look-alikes leaves
# FILE, the file it resembles below the top folder, as it was (kept); a path the code page holds writes FILE. The
# program runs in the top folder's "work", which has a folder "sub", and nothing else may appear.
expect() {
    top=$(mktemp -d)
    mkdir -p "$top/work/sub"
    [ "$3" = kept ] && echo "kept as it was" >"$top/$4"
    before=$(cd "$top" && find . | LC_ALL=C sort)
    [ "$3" = written ] && before=$(printf '%s\n./%s' "$before" "$4" | LC_ALL=C sort)
    (cd "$top/work" && LC_ALL=$1 "$wine_run" "$bits" "$prefix" "$exe" /f "$2")
    after=$(cd "$top" && find . | LC_ALL=C sort)
    if [ "$after" != "$before" ] || { [ "$3" = kept ] && [ "$(cat "$top/$4")" != "kept as it was" ]; }; then
        echo "FAILED: LC_ALL=$1 wine Tavlen.exe /f '$2' should have $3 $4; the folders hold:" $after
        failed=$((failed + 1))
    fi
    rm -rf "$top"
}

expect C.UTF-8 'sub\．．＼esc.txt' kept work/esc.txt
expect C.UTF-8 'é.txt' written work/é.txt
expect ja_JP.UTF-8 'sub¥..¥yen.txt' kept work/yen.txt
# Code page 1252 lacks it: written, it shows that the locale gave code page 932.
expect ja_JP.UTF-8 '表.txt' written work/表.txt
echo "$((4 - failed)) passed, $failed failed"
[ $failed -eq 0 ]
