#!/usr/bin/env python3
"""korlix-host validate --format junit over the example models and one model with a warning: the file is
well-formed XML (read with a real parser), has one suite per model and one case per block in model order, a
failure for each block with an error and the warning as a property of its block's case.

check_junit.py TOOL MODULE MODEL..."""
import json
import pathlib
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET


def expect(condition, message):
    if not condition:
        sys.exit("check_junit: " + message)


def main():
    tool, module, *models = sys.argv[1:]
    with tempfile.TemporaryDirectory() as work:
        warned = pathlib.Path(work) / "warned.json"
        warned.write_text(json.dumps({"model": "warned", "blocks": [
            {"name": "Mixed <&> \"types\"", "maskType": "KORLIXConfig", "parameters": {"MaskType": "ReadCycleCount"}}]}))
        models.append(str(warned))
        results = pathlib.Path(work) / "results.xml"
        run = subprocess.run([tool, "validate", *models, "--module", module, "--json", "--format", "junit",
                              str(results)], capture_output=True, text=True, check=False)
        expect(run.returncode in (0, 1), f"exit code {run.returncode}: {run.stderr}")
        report = json.loads(run.stdout)
        root = ET.parse(results).getroot()
        models = [[b["name"] for b in json.loads(pathlib.Path(m).read_text())["blocks"]] for m in models]

    suites = root.findall("testsuite")
    expect(root.tag == "testsuites" and len(suites) == len(models), "one suite per model")
    for suite, result, names in zip(suites, report["models"], models):
        model = result["model"]
        cases = suite.findall("testcase")
        expect([c.get("name") for c in cases] == names, f"{model}: one case per block in model order")
        failed = [c.get("name") for c in cases if c.find("failure") is not None]
        expect(failed == [b["name"] for b in result["blocks"] if b["error"] is not None],
               f"{model}: a failure for each block with an error")
        counts = [int(suite.get(k)) for k in ("tests", "failures", "errors", "skipped")]
        expect(counts == [len(names), len(failed), 0, 0], f"{model}: counts {counts}")
        for case, block in zip(cases, result["blocks"]):
            failure = case.find("failure")
            if failure is not None:
                expect(failure.get("type") == block["errorCallback"] and failure.text == block["error"],
                       f"{model}: {block['name']}: the failure names the callback and the text")
        warnings = [(c.get("name"), p.get("value")) for c in cases for p in c.iter("property")]
        expect(warnings == [(w["block"], w["path"] + ": " + w["message"]) for w in result["warnings"]],
               f"{model}: the warnings as properties of their blocks")
    expect(len(report["models"][-1]["warnings"]) == 1, "the warned model has its warning")
    totals = [int(root.get(k)) for k in ("tests", "failures", "errors", "skipped")]
    expect(totals == [sum(int(s.get(k)) for s in suites) for k in ("tests", "failures", "errors", "skipped")],
           f"totals {totals} are the suites' sums")


if __name__ == "__main__":
    main()
