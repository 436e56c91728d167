#!/bin/bash
# Sets up the machine, builds the deliverable, the i686 kardum2.exe, and runs it
# once under the private 32-bit Wine in the project's own prefix
# (build/prefix), then shows what the run left. Each call is one log-on: the
# first makes the list, the next ones rotate it.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh || exit 1
cmake --preset win32 >/dev/null && cmake --build --preset win32 --target kardum2 -j2 >/dev/null || exit 1

# The Wine that the build's tests use.
KARDUM_WINE_BIN=$(sed -n 's/^KARDUM_WINE_BIN:[A-Z]*=//p' build/win32/CMakeCache.txt)
source tests/wine-env.sh
prefix="$PWD/build/prefix"
# A prefix left by an earlier 64-bit run cannot serve the 32-bit Wine.
if [ -f "$prefix/system.reg" ] && ! grep -q '^#arch=win32' "$prefix/system.reg"; then
  rm -rf "$prefix"
fi
# Boxes show when there is a display; without one they close at once.
KARDUM_DISPLAY=${DISPLAY:-} tests/wine-run.sh "$prefix" build/win32/bin/kardum2.exe
code=$?

# query KEY NAME: the value's line as `reg` shows it, or "(not set)".
query() {
  local line
  line=$(WINEPREFIX="$prefix" WINEDEBUG=-all wine reg query "$1" </dev/null 2>/dev/null |
    tr -d '\r' | grep -F "    $2    ")
  echo "${line:-    $2 (not set)}"
}
echo "kardum2.exe exit code: $code"
echo "HKCU\\AppEvents\\Schemes\\Apps\\.Default\\SystemStart\\.current"
query 'HKCU\AppEvents\Schemes\Apps\.Default\SystemStart\.current' '(Default)'
echo "HKCU\\Software\\Trelis\\Kardum"
query 'HKCU\Software\Trelis\Kardum' Datos
query 'HKCU\Software\Trelis\Kardum' Posicion
echo "The list file is $prefix/drive_c/windows/kardum.dat (C:\\windows\\kardum.dat)."
WINEPREFIX="$prefix" wineserver -k 2>/dev/null
exit 0
