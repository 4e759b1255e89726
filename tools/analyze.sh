#!/usr/bin/env bash
# Static analysis of src/ and tools/, zero findings allowed:
#   analyze.sh tidy BUILD_DIR     clang-tidy (.clang-tidy) over the win32 compile database
#   analyze.sh cppcheck           cppcheck, warnings/performance/portability
#   analyze.sh format             clang-format (.clang-format) check of every C++ file
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
files() { git ls-files -- 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' "$@"; }
case ${1:-} in
  tidy)
    db=${2:?build dir with compile_commands.json}
    gxx=/usr/lib/gcc/i686-w64-mingw32/12-posix/include/c++
    mapfile -t srcs < <(files | grep '\.cpp$')
    out=$(clang-tidy -p "$db" --quiet --extra-arg=--target=i686-w64-mingw32 \
      --extra-arg=-Wno-unknown-warning-option --extra-arg=-isystem"$gxx" \
      --extra-arg=-isystem"$gxx/i686-w64-mingw32" "${srcs[@]}" 2>&1 || true)
    findings=$(grep -E '(warning|error): ' <<<"$out" || true)
    if [ -n "$findings" ]; then echo "$findings"; echo "clang-tidy: $(wc -l <<<"$findings") findings"; exit 1; fi
    echo "clang-tidy: ${#srcs[@]} files, no findings"
    ;;
  cppcheck)
    cppcheck --enable=warning,performance,portability --error-exitcode=1 --inline-suppr --std=c++20 --quiet \
      -D_WIN32 -DUNICODE -I src --suppress=missingIncludeSystem --suppress=useInitializationList src tools/embed-config
    echo "cppcheck: no findings"
    ;;
  format)
    mapfile -t all < <(files 'tests/*.cpp' 'tests/*.h')
    clang-format --dry-run -Werror "${all[@]}"
    echo "clang-format: ${#all[@]} files formatted"
    ;;
  *) echo "usage: analyze.sh tidy BUILD_DIR | cppcheck | format" >&2; exit 2 ;;
esac
