#!/bin/sh
# Times `korlix-host build` on generated models and prints one line per size: blocks, wall seconds, CPU
# seconds (user and system, both processes), peak resident MiB of the whole run, of the child process that
# runs the model and of the tool's parent process, and the stale-handle sweep's share of the CPU time.
#
# The sweep asks one workspace query per registered block at every size initialisation, N(N-1)/2 queries for
# N blocks; everything else is meant to grow linearly. The CPU times are fitted as a*N + b*N(N-1)/2 (least
# squares): b*N(N-1)/2 is the sweep's share, and the fit's largest relative error shows how well the rest
# follows a straight line.
#
# With --plot FILE it also draws wall time and peak memory against the number of blocks (scripts/plot-scale.py);
# with --doc FILE it also runs the query benchmark against its floor (korlix_bench beside the tool) and writes
# the measurements into FILE between the lines "<!-- bench-scale: begin -->" and "<!-- bench-scale: end -->".
# Usage: scripts/bench-scale.sh [--plot FILE] [--doc FILE] [path/to/korlix-host] [SIZES...]
#        (default tool build/bench/bin/korlix-host, default sizes 1000 2000 5000 10000)
set -eu
plot=""
doc=""
while [ $# -gt 0 ]; do
    case "$1" in
        --plot) plot=$2; shift 2 ;;
        --doc) doc=$2; shift 2 ;;
        *) break ;;
    esac
done
tool=${1:-build/bench/bin/korlix-host}
[ $# -gt 0 ] && shift
sizes=${*:-"1000 2000 5000 10000"}
here=$(dirname "$0")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
for n in $sizes; do
    python3 "$here/gen-model.py" "$n" > "$dir/model_$n.json"
done
python3 - "$tool" "$dir" "$plot" "$doc" "$here" $sizes <<'EOF'
import os
import re
import subprocess
import sys
import time

tool, work, plot, doc, here = sys.argv[1:6]
sizes = [int(n) for n in sys.argv[6:]]


def hwm_kib(pid):
    """Peak resident memory of a running process, or 0 once it is gone."""
    try:
        with open(f"/proc/{pid}/status", encoding="ascii") as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def children(pid):
    try:
        with open(f"/proc/{pid}/task/{pid}/children", encoding="ascii") as f:
            return f.read().split()
    except OSError:
        return []


def run(n):
    """Wall and CPU seconds, and peak KiB of the run, of its child and of its parent."""
    # GNU time measures the run (a Python process that started the tool itself would count its own memory
    # in the peak); the peaks of the tool's two processes are read while they run, as a process's peak is
    # gone once it has ended.
    times = os.path.join(work, f"time_{n}")
    args = ["/usr/bin/time", "-f", "%e %U %S %M", "-o", times, tool, "build", f"{work}/model_{n}.json", "-o",
            f"{work}/model_{n}.qrx", "--quiet"]
    proc = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    parent = child = 0
    while proc.poll() is None:
        for tool_pid in children(proc.pid):
            parent = max(parent, hwm_kib(tool_pid))
            for model_pid in children(tool_pid):
                child = max(child, hwm_kib(model_pid))
        time.sleep(0.002)
    if proc.returncode != 0:
        sys.exit(f"bench-scale: {tool} failed on {n} blocks")
    with open(times, encoding="ascii") as f:
        wall, user, system, peak = f.read().split()[-4:]
    return float(wall), float(user) + float(system), int(peak), child, parent


def fit(rows):
    """Least squares of cpu = a*n + b*q with q = n(n-1)/2; (a, b)."""
    points = [(n, n * (n - 1) / 2, cpu) for n, _, cpu, *_ in rows]
    sxx = sum(n * n for n, _, _ in points)
    sxq = sum(n * q for n, q, _ in points)
    sqq = sum(q * q for _, q, _ in points)
    sxy = sum(n * y for n, _, y in points)
    sqy = sum(q * y for _, q, y in points)
    det = sxx * sqq - sxq * sxq
    if det == 0:
        return 0.0, 0.0
    return (sxy * sqq - sqy * sxq) / det, (sqy * sxx - sxy * sxq) / det


rows = []
header = f"{'blocks':<8} {'wall_s':>8} {'cpu_s':>8} {'peak_MiB':>9} {'child_MiB':>10} {'parent_MiB':>11}"
print(header, flush=True)
for n in sizes:
    wall, cpu, peak, child, parent = run(n)
    rows.append((n, wall, cpu, peak / 1024, child / 1024, parent / 1024))
    print(f"{n:<8} {wall:>8.2f} {cpu:>8.2f} {peak / 1024:>9.1f} {child / 1024:>10.1f} {parent / 1024:>11.1f}",
          flush=True)

a, b = fit(rows)
shares = []
for n, wall, cpu, *_ in rows:
    sweep = b * n * (n - 1) / 2
    shares.append((n, sweep, cpu - sweep, (a * n + sweep - cpu) / cpu if cpu else 0.0))
print(f"fit: cpu = {a * 1e6:.1f} us per block + {b * 1e9:.1f} ns per sweep query")
for n, sweep, rest, err in shares:
    print(f"{n:<8} sweep {sweep:6.2f} s ({100 * sweep / (sweep + rest):4.1f} %), rest {rest:5.2f} s, "
          f"fit error {100 * err:+.1f} %")

table = os.path.join(work, "table")
with open(table, "w", encoding="utf-8") as f:
    f.write(header + "\n")
    for n, wall, cpu, peak, *_ in rows:
        f.write(f"{n} {wall:.2f} {peak:.1f}\n")
if plot:
    subprocess.run([sys.executable, os.path.join(here, "plot-scale.py"), table, plot], check=True)
if not doc:
    sys.exit(0)

bench = os.path.join(os.path.dirname(tool), "korlix_bench")
out = subprocess.run([bench, "--benchmark_filter=BM_QueryRoundTripAgainstFloor"], check=True,
                     capture_output=True, text=True).stdout
counters = dict(re.findall(r"(\w+)=([0-9.]+)", out))
with open("/proc/loadavg", encoding="ascii") as f:
    load = f.read().split()[0]
lines = [
    f"Measured on {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}, {os.cpu_count()} cores, load average "
    f"{load} when the run ended, with `scripts/bench-scale.sh --plot docs/images/scaling.svg --doc "
    f"docs/performance.md {tool} {' '.join(map(str, sizes))}`. CPU time is user plus system time of both "
    f"processes; the peaks are resident memory (the child runs the model, the parent reads the model file and "
    f"prints the report; the whole run's peak is the larger of the two).",
    "",
    "| blocks | wall time | CPU time | sweep share of CPU | peak memory | child | parent |",
    "|---|---|---|---|---|---|---|",
]
for (n, wall, cpu, peak, child, parent), (_, sweep, rest, _) in zip(rows, shares):
    lines.append(f"| {n:,} | {wall:.2f} s | {cpu:.2f} s | {100 * sweep / cpu:.0f} % | {peak:.1f} MiB | "
                 f"{child:.1f} MiB | {parent:.1f} MiB |")
worst = max((abs(err) for *_, err in shares), default=0.0)
lines += [
    "",
    f"Fitted CPU time: {a * 1e6:.1f} µs per block plus {b * 1e9:.1f} ns per sweep query (N(N-1)/2 queries); "
    f"the fit stays within {100 * worst:.0f} % of every measured size, so all but the sweep grows linearly.",
    "",
    f"`BM_QueryRoundTripAgainstFloor` in the same run: the host's query round trip "
    f"{float(counters.get('host_ns', 0)):.0f} ns, the floor {float(counters.get('floor_ns', 0)):.0f} ns, "
    f"ratio {float(counters.get('ratio', 0)):.2f} (medians of alternating batches).",
]
with open(doc, encoding="utf-8") as f:
    text = f.read()
begin, end = "<!-- bench-scale: begin -->", "<!-- bench-scale: end -->"
if begin not in text or end not in text:
    sys.exit(f"bench-scale: {doc} has no '{begin}' ... '{end}' section")
head, rest = text.split(begin, 1)
_, tail = rest.split(end, 1)
tmp = doc + ".tmp"
with open(tmp, "w", encoding="utf-8") as f:
    f.write(head + begin + "\n" + "\n".join(lines) + "\n" + end + tail)
os.replace(tmp, doc)
EOF
