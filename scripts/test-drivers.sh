#!/usr/bin/env bash
# Runs the driver tests (tests/drivers) inside the QEMU guest of
# scripts/rig.sh and ends with the line "N passed, M failed".
# usage: scripts/test-drivers.sh BUILD_DIR [GTEST_ARGS...]
# A guest that does not run the program at all counts as one failure.
set -uo pipefail

build=$(cd "${1:?usage: scripts/test-drivers.sh BUILD_DIR}" && pwd)
shift
program=$build/tests/drivers/drivers_tests
# A plain ctest in the build folder comes here too; the guest's tests are
# built only by make test-drivers, so their absence is a skip (CTest reads
# status 77 as one), not a failure.
if [[ ! -x $program ]]; then
    echo "test-drivers: skipped, $program is not built; run make test-drivers"
    exit 77
fi

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
