#!/usr/bin/env bash
# Runs the driver tests (tests/drivers) inside the QEMU guest of
# scripts/rig.sh and ends with the line "N passed, M failed".
# usage: scripts/test-drivers.sh BUILD_DIR [GTEST_ARGS...]
# A guest that does not run the program at all counts as one failure.
set -uo pipefail

build=$(cd "${1:?usage: scripts/test-drivers.sh BUILD_DIR}" && pwd)
shift
program=$build/tests/drivers/drivers_tests
[[ -x $program ]] || { echo "test-drivers: $program is not built"; echo "0 passed, 1 failed"; exit 1; }

output=$(mktemp)
trap 'rm -f "$output"' EXIT
"$(dirname "$0")/rig.sh" env QT_QPA_PLATFORM=offscreen "$program" --gtest_color=no "$@" 2>&1 | tee "$output"
status=${PIPESTATUS[0]}

passed=$(grep -c '^\[       OK \]' "$output")
failed=$(grep -cE '^\[  FAILED  \] [^ ]+ \(' "$output")
if ((status == 125)); then
    echo "test-drivers: the guest did not run the tests (see above)"
    failed=$((failed + 1))
elif ((status != 0 && failed == 0)); then
    echo "test-drivers: the test program ended with status $status"
    failed=1
fi
echo "$passed passed, $failed failed"
((failed == 0))
