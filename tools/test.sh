#!/usr/bin/env bash
# Builds and runs every test: the portable core natively (ASan/UBSan), its
# fuzz targets for a short bounded time, and the Windows program's tests under
# Wine in a private sealed prefix. One CTest run reports them all.
#
# On a machine that cannot run 32-bit programs (Wine's 32-bit loader fails
# there), the shipped i686 build is still built and analysed, and the Wine
# tests run on the same sources built for x86_64, in a 64-bit prefix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/setup.sh"
cd "$root"
. tools/wine-sandbox.sh
presets=(host fuzz win32)
declare -A extra=()
if ! qm_wine_runs_32bit; then
  echo "== this machine cannot run 32-bit programs: the Wine tests run the x86_64 build in a 64-bit prefix" >&2
  presets+=(win64)
  extra[win32]="-DQM_WINE_TESTS=OFF"
else
  extra[win32]="-DQM_WINE_TESTS=ON"
fi
for preset in "${presets[@]}"; do
  echo "== build: $preset"
  # shellcheck disable=SC2086
  cmake --preset "$preset" ${extra[$preset]:-} >/dev/null
  cmake --build --preset "$preset" -- -k 0 >"build/$preset.build.log" 2>&1 || {
    tail -n 60 "build/$preset.build.log"; echo "build of $preset failed" >&2; exit 1; }
done
mkdir -p build/all
{
  for preset in "${presets[@]}"; do echo "subdirs(\"$root/build/$preset\")"; done
} >build/all/CTestTestfile.cmake
cd build/all
ctest --output-on-failure -j2 "$@"
