#!/bin/sh
# Builds the libFuzzer targets (the "fuzz" preset: clang, address and undefined-behaviour sanitizers) and
# runs each for SECONDS seconds (default 20) from its committed corpus. New inputs go to a scratch directory,
# so the committed corpus stays as it is; a crash stops the run with the failing input saved under
# build/fuzz/artifacts/ (add it to fuzz/corpus/<target>/ to keep it as a regression input).
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-20}
[ $# -gt 0 ] && shift
targets=${*:-"fuzz_conversions fuzz_record_writer fuzz_module fuzz_model_file"}
cmake --preset fuzz >/dev/null
# shellcheck disable=SC2086
cmake --build --preset fuzz --target $targets
rm -rf build/fuzz/artifacts && mkdir -p build/fuzz/artifacts
for t in $targets; do
    scratch=$(mktemp -d)
    echo "fuzz: $t for ${seconds}s"
    build/fuzz/bin/"$t" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/"$t"- \
        "$scratch" fuzz/corpus/"$t" 2>&1 | grep -E "stat::number_of_executed_units|ERROR|SUMMARY|crash|Done" || true
    status=$(ls build/fuzz/artifacts/"$t"-* 2>/dev/null | wc -l)
    rm -rf "$scratch"
    if [ "$status" -ne 0 ]; then
        echo "fuzz: $t found a failing input:" build/fuzz/artifacts/"$t"-*
        exit 1
    fi
done
