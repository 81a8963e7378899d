#!/bin/sh
# The long fault-injection run: every host call of every block class's life failing in turn and raising in
# turn, each class alone, beside its twin and beside a block whose every query fails (the quick run in CTest
# lives each class alone and one pair of twins). Prints the counts; exits non-zero on any crash, leak,
# variable left in a workspace or block that ended unlike the fault-free life without an error.
# Usage: scripts/faults.sh [BUILD_DIR]   (default: build/default; build/sanitize adds the sanitizers)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build/default}
cmake --build "$build" --target fault_test korlix_qvblk
log=$(mktemp)
status=0
KORLIX_FAULT_NEIGHBOURS=1 "$build"/bin/fault_test --gtest_brief=1 >"$log" 2>&1 || status=$?
grep -E "fault lives|Failure|ended without|left" "$log" | head -40
rm -f "$log"
exit "$status"
