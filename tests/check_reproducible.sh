#!/bin/bash
# Builds the win32 release twice from scratch, in two folders of different
# names, and checks that the executable and the zip are the same bytes.
set -u
source_dir=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
status=0
for n in 1 2; do
  dir="$work/build-$n-$RANDOM"
  if ! cmake -S "$source_dir" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DKARDUM_TESTS=OFF \
      -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-mingw-i686.cmake" >"$work/log-$n" 2>&1 ||
     ! cmake --build "$dir" -j2 >>"$work/log-$n" 2>&1; then
    echo "FAIL: build $n (see $work/log-$n)"
    exit 1
  fi
  ln -sfn "$dir" "$work/$n"
done
for file in bin/kardum2.exe "$(cd "$work/1" && ls kardum2-*-win32.zip)"; do
  if cmp -s "$work/1/$file" "$work/2/$file"; then
    echo "PASS: $file is the same in both builds ($(stat -c %s "$work/1/$file") bytes)"
  else
    echo "FAIL: $file differs between two builds"
    status=1
  fi
done
exit $status
