#!/bin/sh
# Times `korlix-host build` on generated models (wall time and peak memory) and prints one line per size:
# blocks, wall seconds, peak MiB. With --plot FILE it also draws both against the number of blocks as an SVG
# picture (scripts/plot-scale.py), the figure docs/performance.md shows.
# Usage: scripts/bench-scale.sh [--plot FILE] [path/to/korlix-host] [SIZES...]
#        (default tool build/bench/bin/korlix-host, default sizes 100 1000 2000 5000)
set -eu
plot=""
if [ "${1:-}" = "--plot" ]; then
    plot=$2
    shift 2
fi
tool=${1:-build/bench/bin/korlix-host}
[ $# -gt 0 ] && shift
sizes=${*:-"100 1000 2000 5000"}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf '%-8s %10s %12s\n' blocks wall_s peak_MiB | tee "$dir/table"
for n in $sizes; do
    python3 "$(dirname "$0")/gen-model.py" "$n" > "$dir/model_$n.json"
    /usr/bin/time -f '%e %M' -o "$dir/time_$n" "$tool" build "$dir/model_$n.json" -o "$dir/model_$n.qrx" --quiet \
        >/dev/null
    read -r wall kib < "$dir/time_$n"
    printf '%-8s %10s %12s\n' "$n" "$wall" "$(echo "$kib" | awk '{printf "%.1f", $1/1024}')" | tee -a "$dir/table"
done
if [ -n "$plot" ]; then
    python3 "$(dirname "$0")/plot-scale.py" "$dir/table" "$plot"
fi
