#!/bin/sh
# Checks the built program's image: x86 of the given width, GUI subsystem, imports from Windows' own DLLs only,
# ASLR and DEP kept with the relocations that ASLR needs, no link time stamped, nothing its own start leaves
# uninitialised, no bigger than it may be, and of the size the README gives it.
# Usage: check-pe.sh OBJDUMP PROGRAM.exe 32|64 MAX-BYTES README.md
objdump=$1 exe=$2 bits=$3 max_bytes=$4 readme=$5
headers=$("$objdump" -p "$exe") || exit 1
fail=0
case $bits in
    32) format=pei-i386 magic=010b build=windows ;;
    64) format=pei-x86-64 magic=020b build=windows-x64 ;;
    *) echo "usage: check-pe.sh OBJDUMP PROGRAM.exe 32|64 MAX-BYTES README.md"; exit 2 ;;
esac
echo "$headers" | grep -q "file format $format" || { echo "not a $bits-bit x86 image"; fail=1; }
echo "$headers" | grep -Eq "^Magic[[:space:]]+$magic" || { echo "not PE32 for $bits bits"; fail=1; }
echo "$headers" | grep -Eq '^Subsystem[[:space:]]+00000002' || { echo "not the GUI subsystem"; fail=1; }

# DYNAMIC_BASE is 0x40 and NX_COMPAT 0x100; without base relocations the loader could not move the image.
flags=$(echo "$headers" | sed -n 's/^DllCharacteristics[[:space:]]*\([0-9a-fA-F]*\).*/\1/p')
[ $((0x${flags:-0} & 0x140)) -eq $((0x140)) ] || { echo "ASLR or DEP is off (DllCharacteristics $flags)"; fail=1; }
echo "$headers" | grep -Eq '^Entry 5 [0-9a-f]+ [0-9a-f]*[1-9a-f][0-9a-f]* Base Relocation' ||
    { echo "no base relocations"; fail=1; }
echo "$headers" | grep -Eq '^Time/Date[[:space:]]+Thu Jan  1 00:00:00 1970' ||
    { echo "a link time is stamped"; fail=1; }

# The program's own start (framework/startup.cpp) runs none of the runtime's initialiser tables and sets up no
# thread-local data: an object that brings either would link, and then never be initialised.
"$objdump" -h "$exe" | grep -Eq '^ *[0-9]+ \.(CRT|tls) ' &&
    { echo "has a .CRT or .tls section, which the program's own start never initialises"; fail=1; }

size=$(wc -c <"$exe")
[ "$size" -le "$max_bytes" ] || { echo "$size bytes, more than $max_bytes"; fail=1; }
# The README's table of the images gives a size for each release's compiler, and this image must have the one
# given for the release that built it:
# | `build/windows/Tavlen.exe` | where it runs | 26,112 bytes built on Debian 12, 26,624 on Debian 13 (at most ...) |
release=$(. /etc/os-release 2>/dev/null; echo "${VERSION_ID:-unknown}")
told=$(sed -n "s/^| \`build\/$build\/Tavlen.exe\` |.*| \(.*\) (at most .*/\1/p" "$readme" |
    grep -oE "[0-9]{1,3}(,[0-9]{3})+( bytes built)? on Debian $release\>" | grep -oE '^[0-9,]+' | tr -d ,)
[ "$size" = "$told" ] ||
    { echo "$size bytes, but the README says ${told:-nothing} for what Debian $release builds"; fail=1; }

dlls=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p')
[ -n "$dlls" ] || { echo "no imports found"; fail=1; }
for dll in $dlls; do
    case $(echo "$dll" | tr 'A-Z' 'a-z') in
        kernel32.dll|user32.dll|gdi32.dll|ole32.dll|oleaut32.dll|msvcrt.dll|advapi32.dll|shell32.dll) ;;
        *) echo "imports $dll, which Windows does not ship"; fail=1 ;;
    esac
done
[ $fail -eq 0 ] && echo "PE $bits-bit GUI program of $size bytes, ASLR and DEP on, importing only: $(echo $dlls)"
exit $fail
