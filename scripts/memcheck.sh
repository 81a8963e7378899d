#!/usr/bin/env bash
# Runs every test program of a build and `korlix-host build` on the flexray demo under valgrind memcheck and
# sums up: errors, and bytes definitely and indirectly lost. Exits non-zero when any run has an error or a
# leak, or a test fails.
#
#   scripts/memcheck.sh [BUILD_DIR]     (default: build/memcheck, configured and built here as Debug)
#
# Child processes (the tool tests start korlix-host) are not followed; the korlix-host run below covers the
# tool itself. Logs go to BUILD_DIR/memcheck/.
set -uo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/memcheck}"

if ! command -v valgrind >/dev/null; then
    echo "memcheck: installing valgrind"
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y --no-install-recommends valgrind >/dev/null 2>&1 ||
        { apt-get update >/dev/null && apt-get install -y --no-install-recommends valgrind >/dev/null; } ||
        { echo "memcheck: valgrind is not available" >&2; exit 2; }
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORLIX_SANITIZE=OFF >/dev/null || exit 2
fi
cmake --build "$build" -j2 >/dev/null || { echo "memcheck: build failed" >&2; exit 2; }

logs="$build/memcheck"
rm -rf "$logs" && mkdir -p "$logs"
valgrind_args=(--tool=memcheck --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect
               --show-leak-kinds=definite,indirect --track-origins=yes --num-callers=30)

runs=0 failed=0 errors=0 definite=0 indirect=0
# check NAME COMMAND...: one run under valgrind, its figures added to the totals.
check() {
    local name="$1"
    shift
    local log="$logs/$name.log"
    valgrind "${valgrind_args[@]}" --log-file="$log" "$@" >"$logs/$name.out" 2>&1 </dev/null
    local code=$?
    local e d i
    e=$(sed -n 's/.*ERROR SUMMARY: \([0-9,]*\) errors.*/\1/p' "$log" | tr -d , | tail -1)
    d=$(sed -n 's/.*definitely lost: \([0-9,]*\) bytes.*/\1/p' "$log" | tr -d , | tail -1)
    i=$(sed -n 's/.*indirectly lost: \([0-9,]*\) bytes.*/\1/p' "$log" | tr -d , | tail -1)
    e=${e:-0} d=${d:-0} i=${i:-0}
    runs=$((runs + 1)) errors=$((errors + e)) definite=$((definite + d)) indirect=$((indirect + i))
    printf '%-28s exit %3d  errors %s  definitely lost %s B  indirectly lost %s B\n' "$name" "$code" "$e" "$d" "$i"
    if [ "$code" -ne 0 ] || [ "$e" -ne 0 ] || [ "$d" -ne 0 ] || [ "$i" -ne 0 ]; then
        failed=$((failed + 1))
        echo "  see $log and $logs/$name.out"
    fi
}

# Every test program CTest knows in this build: each gtest binary once as a whole, each corpus replay with
# its corpus. Example comparisons run through cmake and are covered by the korlix-host run below.
bindir=$(cd "$build/bin" && pwd)
programs=$(ctest --test-dir "$build" --show-only=json-v1 | python3 -c '
import json, sys
seen = {}
for test in json.load(sys.stdin)["tests"]:
    command = test.get("command") or []
    if not command or not command[0].startswith(sys.argv[1] + "/") or command[0] in seen:
        continue
    gtest = any(arg.startswith("--gtest_filter") for arg in command)
    seen[command[0]] = [command[0]] if gtest else command
for command in seen.values():
    print("\t".join(command))
' "$bindir")
while IFS=$'\t' read -r -a command; do
    [ "${#command[@]}" -gt 0 ] && check "$(basename "${command[0]}")" "${command[@]}"
done <<<"$programs"
out="$logs/flexray_demo.qrx"
check korlix-host.build "$build/bin/korlix-host" build examples/flexray_demo.json -o "$out"

echo "memcheck: $runs runs, $failed failed; $errors errors, $definite bytes definitely lost, $indirect bytes indirectly lost"
[ "$failed" -eq 0 ]
