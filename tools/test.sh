#!/usr/bin/env bash
# Builds and runs every test: the portable core natively (ASan/UBSan), its
# fuzz targets for a short bounded time, and the Windows program's tests under
# Wine in a private sealed prefix. One CTest run reports them all.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/setup.sh"
cd "$root"
for preset in host fuzz win32; do
  echo "== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -- -k 0 >"build/$preset.build.log" 2>&1 || {
    tail -n 60 "build/$preset.build.log"; echo "build of $preset failed" >&2; exit 1; }
done
mkdir -p build/all
cat >build/all/CTestTestfile.cmake <<CTEST
subdirs("$root/build/host")
subdirs("$root/build/fuzz")
subdirs("$root/build/win32")
CTEST
cd build/all
ctest --output-on-failure -j2 "$@"
