#!/usr/bin/env bash
# A short fuzzing run: the seeds are copied into a working corpus that grows
# between runs; any crash, leak or sanitizer report fails the test.
set -euo pipefail
fuzzer=$1 seeds=$2 corpus=$3
mkdir -p "$corpus"
cp -n "$seeds"/* "$corpus"/ 2>/dev/null || true
exec "$fuzzer" -runs=200000 -max_total_time=60 -max_len=4096 -timeout=10 \
    -artifact_prefix="$corpus/../" "$corpus"
