#!/bin/sh
# Checks that every DLL a Windows program names, and every function it imports, is exported by Windows XP SP3,
# so the program loads there: one missing import and the loader refuses to start it.
# Usage: check-xp-imports.sh OBJDUMP PROGRAM.exe EXPORT-LISTS-FOLDER
objdump=$1 exe=$2 lists=$3
headers=$("$objdump" -p "$exe") || exit 1
missing=$(echo "$headers" | awk -v lists="$lists" '
    /^[[:space:]]*DLL Name: / {
        dll = toupper($3); list = lists "/" dll ".txt"; count++
        if ((getline name < list) <= 0) { print dll " (not on Windows XP)"; list = ""; next }
        do exported[dll, name] = 1; while ((getline name < list) > 0)
        close(list)
        next
    }
    /^[[:space:]]*$/ { dll = "" }
    dll != "" && list != "" && $1 ~ /^[0-9a-f]+$/ && NF == 3 && !((dll, $3) in exported) { print dll "!" $3 }
    dll != "" && $1 ~ /^[0-9a-f]+$/ && NF == 2 { print dll " by ordinal " $2 }
    END { if (count == 0) print "no imports found" }')
if [ -n "$missing" ]; then
    echo "$exe imports what Windows XP SP3 does not export:"
    echo "$missing"
    exit 1
fi
echo "Every import of $exe is exported by Windows XP SP3"
