#!/usr/bin/env bash
# Brings a fresh Debian 12 machine (run as root) to everything the build,
# the program and the tests need. Safe to run again: it only installs what is
# missing.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  APT_UPDATED=
fi

pkgs=(
  cmake ninja-build make g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev
  wine wine32:i386 wine64
  xvfb x11-apps x11-utils imagemagick
  iproute2 util-linux
  fonts-wine fonts-liberation2 fonts-dejavu-core
  googletest
  python3 python3-pil
  locales
  clang-tidy cppcheck clang-format
  osslsigncode openssl
)
for p in "${pkgs[@]}"; do have "$p" || need+=("$p"); done

if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# Our users' locales, compiled: Wine takes a process's code pages from the
# locale's name, but names files in its character set, which an uncompiled
# locale lacks (non-ASCII file names then fail to be created at all).
for loc in ru_RU uk_UA pl_PL nl_NL nl_BE; do
  locale -a 2>/dev/null | grep -qix "$loc.utf8" || localedef -i "$loc" -f UTF-8 "$loc.UTF-8"
done

# The mingw posix thread model is what GoogleTest's std::mutex needs.
command -v i686-w64-mingw32-g++-posix >/dev/null
command -v wine >/dev/null
echo "setup: ok"
