#!/usr/bin/env bash
# Starts the controller simulator on COM1 (when built) and then the tool.
set -euo pipefail
build=${1:-build}
sim_pid=
if [[ -x "$build/tools/ccsim" ]]; then
  "$build/tools/ccsim" --port COM1 &
  sim_pid=$!
  trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true' EXIT
  sleep 0.5
fi
"$build/app/ccdownload"
