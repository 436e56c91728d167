#!/bin/bash
# Measures kardum2 on this machine and reports: start-up time and peak memory
# of a rotation run under Wine against a do-nothing floor, the sound list
# reader's cost as its input grows (natively and under Wine), and the size of
# the i686 kardum2.exe with what it is made of. The figures go to the console
# and to build/benchmark/results.txt and results.json. Takes a few minutes;
# PAIRS (default 40, at least 20) sets how many start-up pairs are timed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
# With what only the benchmark needs.
bash scripts/setup.sh time libbenchmark-dev || exit 1

build() {  # build DIR TARGET... : quiet unless it fails
  local dir=$1
  shift
  local log="$dir/benchmark-build.log"
  if ! cmake --build "$dir" --target "$@" -j2 >"$log" 2>&1; then
    cat "$log"
    echo "benchmark: building $* in $dir failed" >&2
    exit 1
  fi
}
configure() {  # configure DIR ARGS...
  local dir=$1
  shift
  mkdir -p "$dir"
  if ! cmake "$@" -B "$dir" >"$dir/benchmark-configure.log" 2>&1; then
    cat "$dir/benchmark-configure.log"
    exit 1
  fi
}

echo "benchmark: building"
# The programs measured, as the presets' nested program builds make them; the
# i686 one with a link map, which leaves the program itself unchanged.
program_build() {  # program_build DIR ARCH ARGS...
  local dir=$1 arch=$2
  shift 2
  configure "$dir" -S . -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DKARDUM_TESTS=OFF \
    "-DCMAKE_TOOLCHAIN_FILE=$root/cmake/toolchain-mingw-$arch.cmake" "$@"
  build "$dir" kardum2
}
program_build build/bm-win64 x86_64
program_build build/bm-win32 i686 "-DCMAKE_EXE_LINKER_FLAGS=-Wl,-Map=$root/build/bm-win32/kardum2.map"
# The benchmark programs, with bench/ as their own project. -O2: GCC 12 at -O3
# warns falsely (-Wrestrict) in the product's string code.
configure build/bm-bench-host -S bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
  "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG"
build build/bm-bench-host kardum_sound_list_bench
configure build/bm-bench-win64 -S bench -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
  "-DCMAKE_TOOLCHAIN_FILE=$root/cmake/toolchain-mingw-x86_64.cmake"
build build/bm-bench-win64 kardum_floor kardum_floor_advapi32 kardum_reader_bench_win

echo "benchmark: measuring (a few minutes)"
# A bound on the whole measurement; the persistent wineserver is stopped
# whichever way it ends.
status=0
timeout --kill-after=30 540 python3 bench/benchmark.py \
  --work-dir build/benchmark \
  --pairs "${PAIRS:-40}" \
  --kardum2-win64 build/bm-win64/bin/kardum2.exe \
  --floor build/bm-bench-win64/bin/kardum_floor.exe \
  --floor-advapi32 build/bm-bench-win64/bin/kardum_floor_advapi32.exe \
  --reader-win build/bm-bench-win64/bin/kardum_reader_bench_win.exe \
  --reader-native build/bm-bench-host/bin/kardum_sound_list_bench \
  --kardum2-win32 build/bm-win32/bin/kardum2.exe \
  --map build/bm-win32/kardum2.map || status=$?
WINEPREFIX="$root/build/benchmark/prefix" wineserver -k 2>/dev/null || true
exit $status
