#!/bin/sh
# Checks the built program's image: 32-bit x86, GUI subsystem, and imports from Windows' own DLLs only.
# Usage: check-pe.sh OBJDUMP PROGRAM.exe
objdump=$1
exe=$2
headers=$("$objdump" -p "$exe") || exit 1
fail=0
echo "$headers" | grep -q 'file format pei-i386' || { echo "not a 32-bit x86 image"; fail=1; }
echo "$headers" | grep -Eq '^Magic[[:space:]]+010b' || { echo "not PE32"; fail=1; }
echo "$headers" | grep -Eq '^Subsystem[[:space:]]+00000002' || { echo "not the GUI subsystem"; fail=1; }
dlls=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p')
[ -n "$dlls" ] || { echo "no imports found"; fail=1; }
for dll in $dlls; do
    case $(echo "$dll" | tr 'A-Z' 'a-z') in
        kernel32.dll|user32.dll|gdi32.dll|ole32.dll|oleaut32.dll|msvcrt.dll|advapi32.dll|shell32.dll) ;;
        *) echo "imports $dll, which Windows does not ship"; fail=1 ;;
    esac
done
[ $fail -eq 0 ] && echo "PE32 i386 GUI program importing only: $(echo $dlls)"
exit $fail
