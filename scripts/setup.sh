#!/bin/bash
# Installs from Debian's packages whatever kardum2's builds and tests need and
# the machine lacks, then the private 32-bit Wine (setup-wine32.sh). Quick when
# everything is there. Never adds the i386 architecture: an installed 32-bit
# Wine would break the `wine` command on these machines.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest
  gcc-mingw-w64-x86-64-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
  gcc-mingw-w64-i686-win32 g++-mingw-w64-i686-win32 binutils-mingw-w64-i686
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix
  gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix
  wine wine64 xvfb xdotool imagemagick python3
)

# A caller may name more packages that only it needs.
packages+=("$@")

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The 32-bit Wine that runs the deliverable, private to this checkout.
bash "$(dirname "$0")/setup-wine32.sh"
