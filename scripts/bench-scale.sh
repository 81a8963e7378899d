#!/bin/sh
# Times `korlix-host build` on generated models of 100, 1000 and 5000 blocks (wall time and peak memory).
# Usage: scripts/bench-scale.sh [path/to/korlix-host]   (default: build/bench/bin/korlix-host)
set -eu
tool=${1:-build/bench/bin/korlix-host}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf '%-8s %10s %12s\n' blocks wall_s peak_MiB
for n in 100 1000 5000; do
    python3 "$(dirname "$0")/gen-model.py" "$n" > "$dir/model_$n.json"
    /usr/bin/time -f '%e %M' -o "$dir/time_$n" "$tool" build "$dir/model_$n.json" -o "$dir/model_$n.qrx" >/dev/null
    read -r wall kib < "$dir/time_$n"
    printf '%-8s %10s %12s\n' "$n" "$wall" "$(echo "$kib" | awk '{printf "%.1f", $1/1024}')"
done
