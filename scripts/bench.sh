#!/usr/bin/env bash
# Runs every benchmark program of a build folder, one after the other, so
# that they do not compete for the two cores.
set -euo pipefail
build=${1:-build}
status=0
for program in "$build"/bench/bench_*; do
  [[ -f "$program" && -x "$program" ]] || continue  # not the build's own folders
  "$program" || status=1
done
exit $status
