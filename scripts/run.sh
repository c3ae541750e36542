#!/usr/bin/env bash
# Starts the controller simulator on COM1 (when built) and then the tool.
# The tool starts on port 1, so it talks to the simulator out of the box;
# for a real controller choose its port in "串口设置".
set -euo pipefail
build=${1:-build}

port_dir() {
  if [[ -n "${CCDL_PORT_DIR:-}" ]]; then echo "$CCDL_PORT_DIR"
  elif [[ -n "${XDG_RUNTIME_DIR:-}" ]]; then echo "$XDG_RUNTIME_DIR/ccdownload/ports"
  else echo "/tmp/ccdownload-$(id -u)/ports"
  fi
}

sim_pid=
if [[ -x "$build/tools/ccsim" ]]; then
  "$build/tools/ccsim" --port COM1 &
  sim_pid=$!
  trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true' EXIT
  link="$(port_dir)/COM1"
  # Wait (at most 5 s) until the simulator has registered its port.
  for _ in $(seq 50); do
    [[ -e "$link" ]] && break
    if ! kill -0 "$sim_pid" 2>/dev/null; then
      echo "run: the simulator did not start (see its message above); starting the tool alone" >&2
      sim_pid=
      break
    fi
    sleep 0.1
  done
fi
"$build/app/ccdownload"
