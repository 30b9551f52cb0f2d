#!/usr/bin/env bash
# Builds what is published into dist/: the Debian packages of tavlen for amd64 and arm64, both Windows images under
# names of their own, and SHA256SUMS over the four; two runs on the same commit give the same bytes.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

bash "$top/tools/setup.sh" all
cd "$top"
# Every date in the package is the last commit's, not the time of the run.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH

# The arm64 package is cross-built on an amd64 host; an arm64 host builds its own natively, and no amd64 one.
linux=(native)
if [ "$(dpkg --print-architecture)" = amd64 ]; then
    linux+=(linux-arm64)
else
    echo "Skipped: the amd64 package, which only an amd64 host builds"
fi
# Only the programs: the packages take what is built and build nothing themselves.
for preset in "${linux[@]}" windows windows-x64; do
    cmake --preset $preset >/dev/null
    cmake --build --preset $preset --target Tavlen
done
rm -rf dist
mkdir dist
for preset in "${linux[@]}"; do
    rm -rf "build/$preset/dist"
    (cd "build/$preset" && cpack -G DEB -B "$top/build/$preset/dist" >/dev/null)
    cp "build/$preset"/dist/tavlen_*.deb dist/
done
cp build/windows/Tavlen.exe dist/Tavlen.exe
cp build/windows-x64/Tavlen.exe dist/Tavlen-x64.exe
cd dist
sha256sum -- tavlen_*.deb Tavlen.exe Tavlen-x64.exe >SHA256SUMS
sha256sum -c SHA256SUMS
