#!/usr/bin/env bash
# Builds what is published into dist/: the Debian package of the native tavlen, both Windows images under names of
# their own, and SHA256SUMS over the three; two runs on the same commit give the same bytes.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

bash "$top/tools/setup.sh" all
cd "$top"
# Every date in the package is the last commit's, not the time of the run.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH

# Only the programs: the package takes what is built and builds nothing itself.
for preset in native windows windows-x64; do
    cmake --preset $preset >/dev/null
    cmake --build --preset $preset --target Tavlen
done
rm -rf dist build/native/dist
(cd build/native && cpack -G DEB -B "$top/build/native/dist" >/dev/null)
mkdir dist
cp build/native/dist/tavlen_*.deb dist/
cp build/windows/Tavlen.exe dist/Tavlen.exe
cp build/windows-x64/Tavlen.exe dist/Tavlen-x64.exe
cd dist
sha256sum -- tavlen_*.deb Tavlen.exe Tavlen-x64.exe >SHA256SUMS
sha256sum -c SHA256SUMS
