#!/bin/bash
# scripts/fuzz.sh [seconds]
# Builds the fuzz targets (preset "fuzz") and runs each for the given time
# (300 s by default) over a copy of its seeds, then reports the executions,
# the rate and the time per target. KARDUM_FUZZ_BUILD_DIR chooses another
# build directory. The exit code is non-zero when a target found a crash;
# the crashing input is left in <build dir>/fuzz/long/<target>/artifacts.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
build=${KARDUM_FUZZ_BUILD_DIR:-build/fuzz}

cmake --preset fuzz -B "$build" >/dev/null && cmake --build "$build" -j2 >/dev/null || {
  echo "the fuzz build failed"
  exit 1
}

failed=0
summary=()
for name in sound_list conversions; do
  work="$build/fuzz/long/$name"
  log="$build/fuzz/long/$name.log"
  mkdir -p "$(dirname "$log")"
  echo "=== ${name}_fuzz, $seconds s"
  fuzz/run_target.sh "$build/bin/${name}_fuzz" "fuzz/corpus/$name" "$work" "$seconds" >"$log" 2>&1
  code=$?
  # libFuzzer ends with "#<runs> DONE ... exec/s: <rate> ..." and "Done <runs> runs in <t> second(s)".
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1)
  runs_line=$(grep -E '^Done [0-9]+ runs in' "$log" | tail -n 1)
  [ -n "$done_line" ] && echo "$done_line"
  [ -n "$runs_line" ] && echo "$runs_line"
  if [ "$code" -ne 0 ]; then
    failed=1
    grep -E '_fuzz: |SUMMARY|Test unit written' "$log"
    summary+=("${name}_fuzz: FAILED (exit $code), see $log")
  else
    runs=$(sed -E 's/^Done ([0-9]+) runs in ([0-9]+).*/\1/' <<<"$runs_line")
    time=$(sed -E 's/^Done ([0-9]+) runs in ([0-9]+).*/\2/' <<<"$runs_line")
    rate=$(grep -oE 'exec/s: [0-9]+' <<<"$done_line" | grep -oE '[0-9]+')
    summary+=("${name}_fuzz: ${runs:-?} executions in ${time:-?} s (${rate:-?} exec/s), corpus $(ls "$work/corpus" | wc -l) inputs")
  fi
done

echo "=== summary"
printf '%s\n' "${summary[@]}"
exit "$failed"
