#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test the library:
# the mingw-w64 cross compilers, Wine (64- and 32-bit), wixl and msitools,
# CMake, Ninja and GoogleTest, clang with libFuzzer for the fuzz targets.
# Idempotent: a machine that has it all is left alone.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

packages=(cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wixl msitools
          clang libclang-rt-14-dev)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "setup: installing ${missing[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
fi

# The 32-bit Windows route (WoW64 under qemu) for the product DLL.
if [ -x "$here/wow64/setup.sh" ]; then
  "$here/wow64/setup.sh"
fi
