#!/usr/bin/env python3
"""korlix-host --trace-file: the scenario example's trace file is trace-event JSON whose callback slices
begin and end in order, properly nested, with the host calls inside them; --trace-block keeps only the named
blocks; --trace refuses a model too large to keep its trace in the report.

check_trace.py TOOL MODULE SCENARIO_MODEL"""
import json
import pathlib
import subprocess
import sys
import tempfile


def expect(condition, message):
    if not condition:
        sys.exit("check_trace: " + message)


def trace(tool, module, model, work, *extra):
    out = pathlib.Path(work) / "trace.json"
    run = subprocess.run([tool, "run", str(model), "--module", module, "-o", str(pathlib.Path(work) / "out.qrx"),
                          "--trace-file", str(out), *extra], capture_output=True, text=True, check=False)
    expect(run.returncode in (0, 1), f"exit code {run.returncode}: {run.stderr}")
    return json.loads(out.read_text())["traceEvents"]


def check_nesting(events):
    """Every event names its process and thread; every slice ends where it began, in time order, and every host
    call lies inside a slice."""
    open_slice, last = None, 0.0
    for e in events:
        expect(isinstance(e.get("pid"), int) and isinstance(e.get("tid"), int), f"no process and thread: {e}")
        expect(e["ts"] >= last, f"time goes back at {e}")
        last = e["ts"]
        if e["ph"] == "B":
            expect(open_slice is None, f"a slice begins inside another: {e}")
            open_slice = e
        elif e["ph"] == "E":
            expect(open_slice is not None and open_slice["name"] == e["name"]
                   and open_slice["args"]["block"] == e["args"]["block"], f"an end without its begin: {e}")
            open_slice = None
        else:
            expect(e["ph"] == "i" and open_slice is not None, f"a host call outside a callback: {e}")
    expect(open_slice is None, "the last slice never ends")


def main():
    tool, module, model = sys.argv[1:]
    blocks = [b["name"] for b in json.loads(pathlib.Path(model).read_text())["blocks"]]
    with tempfile.TemporaryDirectory() as work:
        events = trace(tool, module, model, work)
        check_nesting(events)
        begun = [(e["name"], e["args"]["block"]) for e in events if e["ph"] == "B"]
        expect(begun[:len(blocks)] == [("mdlInitializeSizes", b) for b in blocks], "set-up of every block first")
        expect(("mdlQRX", blocks[0]) in begun, "code generation traced")
        expect(any(e["name"] == "zupEvalString" for e in events), "host calls traced")

        only = trace(tool, module, model, work, "--trace-block", blocks[1])
        check_nesting(only)
        expect({e["args"]["block"] for e in only if e["ph"] == "B"} == {blocks[1]}, "--trace-block keeps one block")
        expect(0 < len(only) < len(events), "--trace-block drops the other blocks' calls")

        large = pathlib.Path(work) / "large.json"
        large.write_text(json.dumps({"blocks": [{"name": f"b{i}", "maskType": "ReadCycleCount"} for i in range(201)]}))
        run = subprocess.run([tool, "check", str(large), "--module", module, "--trace"], capture_output=True,
                             text=True, check=False)
        expect(run.returncode == 2 and "--trace-file" in run.stderr, f"--trace on 201 blocks: {run.stderr}")


if __name__ == "__main__":
    main()
