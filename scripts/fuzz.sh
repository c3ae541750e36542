#!/usr/bin/env bash
# Runs every fuzz target of a build folder for a bounded time, starting
# from its seed corpus in fuzz/corpus/<target>. Any crash fails the run.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
for target in "$build"/fuzz/fuzz_*; do
  [[ -x "$target" ]] || continue
  name=$(basename "$target")
  seeds="$root/fuzz/corpus/${name#fuzz_}"
  [[ -d "$seeds" ]] || seeds=
  work=$(mktemp -d)
  echo "fuzz: $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -print_final_stats=0 -artifact_prefix="$work/" "$work" ${seeds:+"$seeds"} \
      > "$work/log" 2>&1; then
    echo "fuzz: $name FAILED"; tail -50 "$work/log"; status=1
  else
    grep -E '^(#[0-9]+ +DONE|Done)' "$work/log" | tail -1 || true
  fi
  rm -rf "$work"
done
exit $status
