#!/usr/bin/env bash
# Builds both Tavlen.exe images twice, from copies of the sources in two folders of different names, and checks
# that each pair is the same to the byte: no link time and no build path may reach an image.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
for tree in first second-tree; do
    mkdir "$work/$tree"
    # The sources as committed, plus any change not yet committed: what a clean build of this work would see.
    (cd "$top" && git ls-files --cached --others --exclude-standard |
        while IFS= read -r file; do [ ! -e "$file" ] || cp --parents "$file" "$work/$tree"; done)
done
for preset in windows windows-x64; do
    for tree in first second-tree; do
        (cd "$work/$tree" && cmake --preset $preset -DBUILD_TESTING=OFF >/dev/null &&
            cmake --build build/$preset --target Tavlen -j2 >/dev/null)
    done
    if cmp "$work/first/build/$preset/Tavlen.exe" "$work/second-tree/build/$preset/Tavlen.exe"; then
        echo "$preset: two builds give the same $(wc -c <"$work/first/build/$preset/Tavlen.exe") bytes"
    else
        echo "$preset: two builds of the same sources differ"
        status=1
    fi
done
exit $status
