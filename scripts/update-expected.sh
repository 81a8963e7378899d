#!/bin/sh
# Regenerates the expected output of the example models (examples/expected/) from a build of the tool and
# the module: scripts/update-expected.sh [BUILD_DIR]   (default: build/default, configured if needed).
# Review the changes with `git diff examples/expected` before committing them.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build/default"}
if [ ! -f "$build/CMakeCache.txt" ]; then
    if [ $# -eq 0 ]; then
        (cd "$root" && cmake --preset default)
    else
        cmake -S "$root" -B "$build" -G Ninja
    fi
fi
cmake --build "$build" -j2 --target korlix-host korlix_qvblk
KORLIX_UPDATE_EXPECTED=1 ctest --test-dir "$build" -R '^tool\.example\.' --output-on-failure
git -C "$root" status --short -- examples/expected
