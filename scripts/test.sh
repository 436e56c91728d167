#!/bin/bash
# Sets up the machine, then builds and runs every test of all the builds: the
# native one (plain, under sanitizers, and its fuzz targets for a short
# while), win64 under the system's Wine, and the win32 deliverable under the
# private 32-bit Wine, with its checks for old Windows. The last line
# counts the tests that passed and failed; the exit code is 0 only when none
# failed.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh || exit 1

passed=0
failed=0
for preset in host host-asan fuzz win64 win32; do
  echo "=== $preset"
  if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j2; }; then
    echo "=== $preset: the build failed"
    failed=$((failed + 1))
    continue
  fi
  log="build/$preset/ctest.log"
  ctest --preset "$preset" -j2 2>&1 | tee "$log"
  # The tests stop their Wine server; should one linger after a crash, stop it.
  if [ -d "build/$preset/wineprefix" ]; then
    wine_bin=$(sed -n 's/^KARDUM_WINE_BIN:[A-Z]*=//p' "build/$preset/CMakeCache.txt")
    KARDUM_WINE_BIN=$wine_bin tests/wine-server.sh stop "build/$preset/wineprefix" >/dev/null
  fi
  summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$summary" ]; then
    grep -q 'No tests were found' "$log" || failed=$((failed + 1))
    continue
  fi
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
  bad=$(sed -E 's/.*tests passed, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
