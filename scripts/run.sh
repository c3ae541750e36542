#!/usr/bin/env bash
# Starts the controller simulator on COM1 and then the tool. The tool starts
# on port 1, so it talks to the simulator out of the box; for a real
# controller choose its port in "串口设置".
#
# Without a desktop session (neither DISPLAY nor WAYLAND_DISPLAY set) the
# window cannot open: then one whole download runs from the command line
# with ccdl against the simulator instead, and what the simulator received
# is printed.
set -euo pipefail
build=${1:-build}

port_dir() {
  if [[ -n "${CCDL_PORT_DIR:-}" ]]; then echo "$CCDL_PORT_DIR"
  elif [[ -n "${XDG_RUNTIME_DIR:-}" ]]; then echo "$XDG_RUNTIME_DIR/ccdownload/ports"
  else echo "/tmp/ccdownload-$(id -u)/ports"
  fi
}

headless=
[[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]] && headless=1

sim_log=$(mktemp)
sim_pid=
stop_sim() {
  if [[ -n "$sim_pid" ]]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=
  fi
}
trap 'stop_sim; rm -f "$sim_log"' EXIT

if [[ -n "$headless" ]]; then
  "$build/tools/ccsim" --port COM1 >"$sim_log" 2>&1 &
else
  "$build/tools/ccsim" --port COM1 &
fi
sim_pid=$!
link="$(port_dir)/COM1"
# Wait (at most 5 s) until the simulator has registered its port.
for _ in $(seq 50); do
  [[ -e "$link" ]] && break
  if ! kill -0 "$sim_pid" 2>/dev/null; then
    cat "$sim_log" >&2
    echo "run: the simulator did not start (see its message above)" >&2
    sim_pid=
    [[ -n "$headless" ]] && exit 1
    echo "run: starting the tool alone" >&2
    break
  fi
  sleep 0.1
done

if [[ -z "$headless" ]]; then
  "$build/app/ccdownload"
  exit
fi

echo "run: no desktop session (DISPLAY and WAYLAND_DISPLAY are unset): the window needs one; running one download with ccdl against the simulator instead."
status=0
"$build/tools/ccdl" download --port COM1 2>&1 || status=$?
stop_sim
echo
echo "What the simulator on COM1 received:"
cat "$sim_log"
exit "$status"
