#!/usr/bin/env bash
# Draws the collector dialog and its About box under Wine on a virtual display, and saves a screenshot of
# each, cropped to the window, as docs/collector-dialog.png and docs/about-box.png. The program itself never
# shows either window; the harness tools/dialogs/ShowDialogs.cpp does.
# Usage: screenshots.sh; TAVLEN_BUILD=DIR builds in DIR instead of the windows preset's build/windows.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

bash "$top/tools/setup.sh" shots
cd "$top"

# Wine takes the ANSI code page from the locale, which tools/setup.sh makes, and the dialogs' Japanese texts
# reach their windows through it: without code page 932 they would show as question marks.
locale=ja_JP.UTF-8
# Both dialogs ask for "ＭＳ Ｐゴシック"; this is the font that stands in for it.
font_family=IPAPGothic
if [ -z "$(fc-list "$font_family" family)" ]; then
    echo "screenshots.sh: the font $font_family is not installed" >&2
    exit 1
fi

if [ -n "${TAVLEN_BUILD:-}" ]; then
    build=$TAVLEN_BUILD
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S "$top" -B "$build" --toolchain "$top/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    cmake --build "$build" --target show_dialogs -j2
else
    build=$top/build/windows
    cmake --preset windows >/dev/null
    cmake --build --preset windows --target show_dialogs
fi
harness=$build/show_dialogs.exe
[ -f "$harness" ] || { echo "screenshots.sh: $harness was not built" >&2; exit 1; }

# A prefix of its own, apart from the tests' one, so its fonts, colours and locale touch nothing else.
work=$build/screenshots
export WINEPREFIX=$work/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=$locale LANG=$locale
mkdir -p "$work"
rm -f "$work"/ready "$work"/ready.part "$work"/*.png "$work"/wine.log

xvfb_pid=""
cleanup() {
    wineserver -k 2>/dev/null || true
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

# The server picks a free display itself and writes its number once it accepts connections.
screen_size=1024x768
Xvfb -displayfd 3 -screen 0 "${screen_size}x24" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; exit 1; }
    sleep 0.1
done
[ -s "$work/display" ] || { echo "screenshots.sh: Xvfb did not start" >&2; exit 1; }
DISPLAY=:$(cat "$work/display")
export DISPLAY

if [ ! -f "$WINEPREFIX/.ready" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.ready"
fi

# This Wine does not look in its own fonts folder, and without Marlett the caption buttons show letters.
ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"

# The dialogs' face, and the caption font a Japanese system has, both drawn with the IPA font; and the
# classic Windows colours rather than Wine's own light scheme. regedit reads the file as UTF-16 with a BOM.
{
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    printf '"ＭＳ Ｐゴシック"="%s"\r\n' "$font_family"
    printf '"MS UI Gothic"="%s"\r\n\r\n' "$font_family"
    printf '[HKEY_CURRENT_USER\\Control Panel\\Colors]\r\n'
    while read -r name rgb; do
        printf '"%s"="%s"\r\n' "$name" "$rgb"
    done <<'COLOURS'
ActiveBorder 212 208 200
ActiveTitle 10 36 106
AppWorkSpace 128 128 128
Background 58 110 165
ButtonAlternateFace 181 181 181
ButtonDkShadow 64 64 64
ButtonFace 212 208 200
ButtonHilight 255 255 255
ButtonLight 212 208 200
ButtonShadow 128 128 128
ButtonText 0 0 0
GradientActiveTitle 166 202 240
GradientInactiveTitle 192 192 192
GrayText 128 128 128
Hilight 10 36 106
HilightText 255 255 255
HotTrackingColor 0 0 200
InactiveBorder 212 208 200
InactiveTitle 128 128 128
InactiveTitleText 212 208 200
InfoText 0 0 0
InfoWindow 255 255 225
Menu 212 208 200
MenuBar 212 208 200
MenuHilight 10 36 106
MenuText 0 0 0
Scrollbar 212 208 200
TitleText 255 255 255
Window 255 255 255
WindowFrame 0 0 0
WindowText 0 0 0
COLOURS
} | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$work/look.reg"
wine regedit /S "$(winepath -w "$work/look.reg")" >/dev/null 2>&1
wineserver -w

# Wine draws the window frames itself on a desktop of its own; without a window manager nobody else would.
desktop=tavlen-shots
ready=$work/ready
wine explorer "/desktop=$desktop,$screen_size" "$(winepath -w "$harness")" "$(winepath -w "$ready")" \
    >"$work/wine.log" 2>&1 &
wine_pid=$!

# The harness names each window in the ready file once it is on screen, with its rectangle on the Wine
# desktop; deleting the file tells it to go on to the next one.
capture() {
    local name=$1 output=$2 line
    for _ in $(seq 600); do
        [ -f "$ready" ] && break
        kill -0 "$wine_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ ! -f "$ready" ]; then
        echo "screenshots.sh: the harness never showed the $name window" >&2
        cat "$work/wine.log" >&2
        exit 1
    fi
    read -r line <"$ready"
    local shown x y width height
    read -r shown x y width height <<<"$line"
    if [ "$shown" != "$name" ]; then
        echo "screenshots.sh: expected the $name window, the harness showed: $line" >&2
        exit 1
    fi
    # The desktop is a window of its own on the display; its origin is the windows' origin.
    local origin_x origin_y
    origin_x=$(xwininfo -name "$desktop - Wine desktop" | awk '/Absolute upper-left X/ { print $NF }')
    origin_y=$(xwininfo -name "$desktop - Wine desktop" | awk '/Absolute upper-left Y/ { print $NF }')
    import -window root "$work/$name-screen.png"
    convert "$work/$name-screen.png" -crop "${width}x${height}+$((origin_x + x))+$((origin_y + y))" +repage \
        -strip -define png:exclude-chunks=date,time "$work/$name.png"
    rm -f "$ready"

    # A window that did not get drawn is a plain rectangle of one or two colours.
    local size colours
    size=$(identify -format '%wx%h' "$work/$name.png")
    colours=$(identify -format '%k' "$work/$name.png")
    if [ "$size" != "${width}x${height}" ] || [ "$colours" -lt 8 ]; then
        echo "screenshots.sh: the $name screenshot is ${size} with $colours colours: not a drawn window" >&2
        exit 1
    fi
    mkdir -p "$top/docs"
    mv "$work/$name.png" "$top/docs/$output"
    echo "Saved docs/$output (${width}x${height})"
}
capture collector collector-dialog.png
capture about about-box.png

# The harness closes the About box and the dialog by itself; it gives up on its own after a minute.
for _ in $(seq 300); do
    kill -0 "$wine_pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$wine_pid" 2>/dev/null; then
    echo "screenshots.sh: the harness did not end after the screenshots" >&2
    exit 1
fi
