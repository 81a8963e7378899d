#!/bin/sh
# Builds the libFuzzer targets (the "fuzz" preset: clang, address and undefined-behaviour sanitizers) and runs
# them from their committed corpora. A crash stops the run with the failing input saved under
# build/fuzz/artifacts/ (add it to fuzz/corpus/<target>/ as regression-<name> to keep it).
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#       each target for SECONDS (default 20); new inputs go to a scratch directory, the corpus stays as it is.
#   scripts/fuzz.sh --grow [SECONDS] [TARGET...]
#       each target until its execution goal (10,000,000 for fuzz_conversions and fuzz_record_writer,
#       1,000,000 for fuzz_module and fuzz_model_file) or SECONDS (default 3600), whichever comes first; then
#       the corpus and the new inputs are merged, minimised, into fuzz/corpus/<target>/ (regression-* inputs
#       and the seed-* inputs scripts/fuzz-seeds.py writes are always kept). Prints the executions reached
#       per target.
set -eu
cd "$(dirname "$0")/.."
grow=0
if [ "${1:-}" = "--grow" ]; then
    grow=1
    shift
fi
seconds=${1:-$([ $grow -eq 1 ] && echo 3600 || echo 20)}
[ $# -gt 0 ] && shift
targets=${*:-"fuzz_conversions fuzz_record_writer fuzz_module fuzz_model_file"}
cmake --preset fuzz >/dev/null
# shellcheck disable=SC2086
cmake --build --preset fuzz --target $targets
rm -rf build/fuzz/artifacts && mkdir -p build/fuzz/artifacts
goal() {
    case "$1" in
        fuzz_conversions | fuzz_record_writer) echo 10000000 ;;
        *) echo 1000000 ;;
    esac
}
for t in $targets; do
    scratch=$(mktemp -d)
    runs=-1
    [ $grow -eq 1 ] && runs=$(goal "$t")
    echo "fuzz: $t for at most ${seconds}s$([ $grow -eq 1 ] && echo ", goal $runs executions")"
    build/fuzz/bin/"$t" -max_total_time="$seconds" -runs="$runs" -print_final_stats=1 \
        -artifact_prefix=build/fuzz/artifacts/"$t"- "$scratch" fuzz/corpus/"$t" 2>&1 |
        grep -E "stat::number_of_executed_units|ERROR|SUMMARY|crash|Done" || true
    if [ -n "$(ls build/fuzz/artifacts/"$t"-* 2>/dev/null)" ]; then
        rm -rf "$scratch"
        echo "fuzz: $t found a failing input:" build/fuzz/artifacts/"$t"-*
        exit 1
    fi
    if [ $grow -eq 1 ]; then
        merged=$(mktemp -d)
        build/fuzz/bin/"$t" -merge=1 "$merged" fuzz/corpus/"$t" "$scratch" >/dev/null 2>&1
        cp fuzz/corpus/"$t"/regression-* fuzz/corpus/"$t"/seed-* "$merged"/ 2>/dev/null || true
        rm -rf fuzz/corpus/"$t" && mv "$merged" fuzz/corpus/"$t" && chmod 755 fuzz/corpus/"$t"
        echo "fuzz: $t corpus now $(ls fuzz/corpus/"$t" | wc -l) inputs (minimised)"
    fi
    rm -rf "$scratch"
done
