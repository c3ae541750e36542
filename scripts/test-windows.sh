#!/usr/bin/env bash
# The Windows build's tests under Wine (make test-windows):
#   1. windows_tests.exe: the engine's, package layer's and code page tests,
#      and the Windows layer's own on COM5 (an echo peer) and COM6 (a peer
#      that hangs up on a magic sequence);
#   2. a whole default download by ccdl.exe on COM7 to the simulator, through
#      a relay that captures every byte sent; judged on the Linux side;
#   3. ccdl.exe on COM8, whose peer hangs up after the connect request.
# Each COM port is a Linux pseudo-terminal whose slave is linked as
# $WINEPREFIX/dosdevices/comN; a preloaded library gives the ptys the modem
# lines that Wine's serial driver polls (tests/windows/rig).
# Wine's output goes to files, never through a pipe: its services inherit
# the pipe and keep it open.
#
# usage: test-windows.sh LINUX_BUILD WINDOWS_BUILD
set -euo pipefail

linux_build=$(realpath "${1:?usage: test-windows.sh LINUX_BUILD WINDOWS_BUILD}")
windows_build=$(realpath "${2:?usage: test-windows.sh LINUX_BUILD WINDOWS_BUILD}")
root=$(cd "$(dirname "$0")/.." && pwd)
rig_source=$root/tests/windows/rig
rig=$windows_build/wine-rig
rm -rf "$rig"
mkdir -p -m 700 "$rig" "$rig/ports"

export WINEPREFIX=$windows_build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
dosdevices=$WINEPREFIX/dosdevices

started=$(date +%s)
pids=()
failures=0

cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

fail() {
  echo "test-windows: FAILED: $*"
  failures=$((failures + 1))
}

# Waits up to 20 s for a text to appear in a file.
wait_for() {
  local file=$1 text=$2
  for _ in $(seq 200); do
    grep -q -- "$text" "$file" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "test-windows: '$text' did not appear in $file:"; cat "$file"
  return 1
}

# peer NAME pty_peer.py-arguments...
peer() {
  local name=$1; shift
  python3 "$rig_source/pty_peer.py" "$@" > "$rig/$name.log" 2>&1 &
  pids+=($!)
  wait_for "$rig/$name.log" ready
}

# run_wine LOG PROGRAM ARGUMENTS...: the program's status, its output in LOG.
run_wine() {
  local log=$1; shift
  LD_PRELOAD=$rig/ptymodem.so wine "$@" > "$log" 2>&1 < /dev/null
}

if [[ ! -f $WINEPREFIX/system.reg ]]; then
  echo "test-windows: making the Wine prefix $WINEPREFIX"
  wineboot -i > "$rig/wineboot.log" 2>&1
  wineserver -w
fi
# A server that stays lets each program start in milliseconds; one left
# running for this prefix by an interrupted run goes first.
wineserver -k 2>/dev/null || true
wineserver -p > "$rig/wineserver.log" 2>&1
cc -shared -fPIC -O2 -Wall -Wextra -o "$rig/ptymodem.so" "$rig_source/PtyModemLines.c" -ldl

echo "test-windows: 1. windows_tests.exe"
peer echo echo --link "$dosdevices/com5"
peer hangup-magic echo --link "$dosdevices/com6"
# Two package tests ask for sizes beyond 32 bits through a 32-bit long.
filter=-PackageQueue.RefusedStorageKeepsTheQueueAndNoStorageRefusesAll:PackageLayer.PackageSizeBeyond32BitsIsRefusedAndALargerOneCarriesMore
if CCDL_ECHO_PORT=COM5 CCDL_HANGUP_PORT=COM6 run_wine "$rig/windows_tests.log" \
     "$windows_build/tests/windows/windows_tests.exe" --gtest_filter="$filter"; then
  grep -E "^\[  PASSED  \]|^Wine limit|^after the hang-up|^the system" "$rig/windows_tests.log"
else
  cat "$rig/windows_tests.log"
  fail "windows_tests.exe"
fi
# Wine takes the system's default language from the Linux locale of each
# program it starts: Taiwan gives Big5 texts (3), the PRC GBK (2), German
# English (1).
for case in zh_TW.UTF-8:3 zh_CN.UTF-8:2 de_DE.UTF-8:1; do
  locale=${case%:*}
  if ! env LC_ALL="$locale" LANG="$locale" CCDL_EXPECT_LANG_TYPE="${case#*:}" WINEDEBUG=-all \
       wine "$windows_build/tests/windows/windows_tests.exe" --gtest_filter=WindowsLanguage.* \
       > "$rig/language.log" 2>&1 < /dev/null; then
    cat "$rig/language.log"
    fail "the language of $locale"
  fi
done

echo "test-windows: 2. a whole download by ccdl.exe, judged on the Linux side"
CCDL_PORT_DIR=$rig/ports "$linux_build/tools/ccsim" --port COM7 > "$rig/ccsim.log" 2>&1 &
simulator=$!
pids+=($simulator)
wait_for "$rig/ccsim.log" "COM7 is "
peer relay relay --link "$dosdevices/com7" --to "$(readlink -f "$rig/ports/COM7")" --capture "$rig/ccdl-sent.bin"
if run_wine "$rig/ccdl-download.log" "$windows_build/tools/ccdl.exe" download --port COM7 --timeout 10 --json; then
  kill "$simulator"; wait "$simulator" || true
  if python3 "$rig_source/judge_download.py" "$rig/ccdl-sent.bin" "$rig/ccsim.log"; then
    grep '"result"' "$rig/ccdl-download.log"
  else
    cat "$rig/ccsim.log"
    fail "the download's frames"
  fi
else
  cat "$rig/ccdl-download.log" "$rig/ccsim.log"
  fail "ccdl.exe download"
fi

echo "test-windows: 3. ccdl.exe on a port that hangs up"
peer hangup-after hangup --after 4 --link "$dosdevices/com8"
# Without the loss the download would wait its 30 s for an answer.
begun=$(date +%s%N)
status=0
run_wine "$rig/ccdl-lost.log" "$windows_build/tools/ccdl.exe" download --port COM8 --timeout 30 --retries 0 || status=$?
elapsed_ms=$((($(date +%s%N) - begun) / 1000000))
if [[ $status -eq 1 ]] && ((elapsed_ms < 15000)) && grep -q "the device went away" "$rig/ccdl-lost.log"; then
  echo "test-windows: exit 1 after $elapsed_ms ms: $(tail -1 "$rig/ccdl-lost.log")"
else
  cat "$rig/ccdl-lost.log"
  fail "ccdl.exe on a lost port: status $status after $elapsed_ms ms"
fi

if ((failures == 0)); then
  echo "test-windows: all passed in $(($(date +%s) - started)) s"
else
  echo "test-windows: $failures failed, in $(($(date +%s) - started)) s"
  exit 1
fi
