#!/usr/bin/env python3
"""korlix-host --format html and --format dot: every example model's page parses as HTML with one table row
per block, a diagram and, for a PDU pack or unpack block, its bit layout; a PDU whose signals overlap and run
past its end has exactly those cells and signals marked; the dot file names every block and port.

check_pictures.py TOOL MODULE MODEL..."""
import html.parser
import json
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile


def expect(condition, message):
    if not condition:
        sys.exit("check_pictures: " + message)


class Page(html.parser.HTMLParser):
    """Counts what the checks look at, and that every element opened is closed in order."""

    VOID = {"meta", "br", "line", "rect", "img", "input", "hr"}

    def __init__(self):
        super().__init__()
        self.stack, self.rows, self.title, self.svg = [], 0, "", 0
        self.overlaps, self.bad, self.layouts, self.in_title = 0, [], 0, False
        self.in_bad = False

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        classes = (a.get("class") or "").split()
        if tag not in self.VOID:
            self.stack.append(tag)
        self.rows += tag == "tr" and "block" in classes
        self.svg += tag == "svg"
        self.overlaps += tag == "td" and "overlap" in classes
        self.layouts += tag == "table" and "pdu" in classes
        self.in_title = tag == "title"
        self.in_bad = tag == "li" and "bad" in classes

    def handle_startendtag(self, tag, attrs):
        if tag not in self.VOID:
            self.stack.append(tag)
            self.handle_endtag(tag)

    def handle_endtag(self, tag):
        expect(self.stack and self.stack[-1] == tag, f"</{tag}> closes <{self.stack[-1] if self.stack else ''}>")
        self.stack.pop()
        self.in_title = self.in_bad = False

    def handle_data(self, data):
        if self.in_title:
            self.title += data
        if self.in_bad:
            self.bad.append(data)


def draw(tool, module, model, kind, work):
    out = pathlib.Path(work) / f"out.{kind}"
    command = ["check"] if kind == "dot" else ["build", "-o", str(pathlib.Path(work) / "out.qrx")]
    run = subprocess.run([tool, *command, str(model), "--module", module, "--format", kind, str(out)],
                         capture_output=True, text=True, check=False)
    expect(run.returncode in (0, 1), f"{model}: exit code {run.returncode}: {run.stderr}")
    return out.read_text(encoding="utf-8")


def page(tool, module, model, work):
    p = Page()
    p.feed(draw(tool, module, model, "html", work))
    p.close()
    expect(not p.stack, f"{model}: unclosed {p.stack}")
    return p


def rendered(page_file):
    """The page as headless Chromium built it (its DOM after loading), or None without a Chromium."""
    browser = shutil.which("chromium")
    if browser is None:
        return None
    with tempfile.TemporaryDirectory() as profile:
        run = subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                              "--disable-background-networking", "--disable-component-update", "--disable-sync",
                              f"--user-data-dir={profile}", "--dump-dom", pathlib.Path(page_file).as_uri()],
                             capture_output=True, text=True, timeout=120, check=False)
    expect(run.returncode == 0, f"chromium: exit code {run.returncode}: {run.stderr[-500:]}")
    return run.stdout


def main():
    tool, module, *models = sys.argv[1:]
    labelled = 0
    with tempfile.TemporaryDirectory() as work:
        for model in models:
            model_file = json.loads(pathlib.Path(model).read_text())
            blocks = model_file["blocks"]
            p = page(tool, module, model, work)
            expect(p.title == "KORLIX model " + model_file.get("model", ""), f"{model}: title {p.title!r}")
            expect(p.rows == len(blocks), f"{model}: {p.rows} block rows for {len(blocks)} blocks")
            expect(p.svg == 1, f"{model}: one diagram")
            stubs = re.findall(r'<line x1="(\d+)" y1="(\d+)" x2="(\d+)" y2="\d+"/><text x="(\d+)" y="(\d+)" '
                               r'class="(in|out)">', (pathlib.Path(work) / "out.html").read_text())
            expect(all(int(ty) == int(y1) + 4 and int(tx) == (int(x1) - 2 if side == "in" else int(x2) + 2)
                       for x1, y1, x2, tx, ty, side in stubs), f"{model}: each port label beside its stub")
            labelled += len(stubs)
            rows = sorted({int(y) for y in re.findall(r'<g transform="translate\(\d+,(\d+)\)">',
                                                      (pathlib.Path(work) / "out.html").read_text())})
            expect(rows[:1] == [10], f"{model}: the diagram's first row at its top margin, not {rows[:1]}")
            dom = rendered(pathlib.Path(work) / "out.html")
            if dom is not None:
                expect(f"<title>KORLIX model {model_file.get('model', '')}</title>" in dom, f"{model}: title in the browser")
                expect(len(re.findall(r'<tr class="block', dom)) == len(blocks), f"{model}: block rows in the browser")
            pdus = [b for b in blocks if b.get("maskType") in ("FlexRayPackPDU", "FlexRayUnpackPDU")]
            expect(p.layouts <= len(pdus) and (p.layouts > 0 or not pdus or "error" in model),
                   f"{model}: {p.layouts} layouts for {len(pdus)} PDU blocks")
            dot = draw(tool, module, model, "dot", work)
            expect(dot.startswith("digraph") and dot.rstrip().endswith("}"), f"{model}: dot file framing")
            expect(dot.count("[label=") == len(blocks), f"{model}: one dot node per block")
            report = json.loads(subprocess.run([tool, "check", str(model), "--module", module, "--json"],
                                               capture_output=True, text=True, check=False).stdout)
            for side, key in (("i", "inputs"), ("o", "outputs")):
                ports = sum(len(b[key]) for b in report["blocks"])
                expect(len(re.findall(rf"<{side}\d+> ", dot)) == ports, f"{model}: every one of the {ports} {key}")

        expect(labelled > 0, "port labels drawn")

        # A 2-byte PDU: a uint16 at bit 0, a uint8 at bit 8 over its second byte, a uint8 at bit 16 past the end.
        bad = pathlib.Path(work) / "overlap.json"
        bad.write_text(json.dumps({"model": "overlap", "blocks": [{
            "name": "Pack", "maskType": "FlexRayPackPDU", "parameters": {
                "MaskType": "FlexRayPackPDU", "ConfigValid": "1", "PduLabel": "P", "PduLength": "2",
                "NumberOfSignals": "3", "SignalsDTypes": "uint16 uint8 uint8", "SignalsOffsets": "0 8 16",
                "SignalsEndianess": "0 0 1", "VXLInitFile": "i", "VXLFile": "f"}}]}))
        p = page(tool, module, bad, work)
        expect(p.layouts == 1, "overlap: one layout")
        expect(p.overlaps == 8, f"overlap: {p.overlaps} cells marked, expected the 8 bits of byte 1")
        expect(len(p.bad) == 3 and "overlaps" in p.bad[0] and "overlaps" in p.bad[1] and "past" in p.bad[2]
               and "overlaps" not in p.bad[2], f"overlap: marked signals {p.bad}")


if __name__ == "__main__":
    main()
