#!/bin/bash
# run_target.sh <fuzz target> <seed dir> <work dir> <seconds>
# Runs a fuzz target for a bounded time over a fresh copy of its seeds, so the
# seeds kept in the repository are only read. New inputs and any crash land in
# the work dir; the exit code is the fuzzer's (non-zero on a crash).
set -euo pipefail
target=$1 seeds=$2 work=$3 seconds=$4

rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
cp "$seeds"/* "$work/corpus/"
exec "$target" "$work/corpus" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
  -print_final_stats=1 -artifact_prefix="$work/artifacts/"
