#!/usr/bin/env python3
"""Writes the seeds of the fuzz_module target from the realistic dialogs in tests/data/dialogs.json: one input
per block class, fuzz/corpus/fuzz_module/seed-<mask type>, each a whole valid block (two S-function
parameters, inherited sample time, the "host" execution system) that the fuzzer then varies.

The input layout is fuzz_module's: a mask-type choice byte (0xff: the name follows as text), a flag byte, an
execution-system byte, then per field a choice byte (0xff: the name follows as text) and the field's text;
texts end with the byte 0x1f.

Usage: scripts/fuzz-seeds.py
"""
import json
import os

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
END = b"\x1f"


def text(s):
    data = s.encode()
    if END in data:
        raise SystemExit(f"a dialog text holds the separator byte 0x1f: {s!r}")
    return data + END


def seed(mask, fields):
    out = b"\xff" + text(mask) + b"\x00" + b"\x00"
    for name, value in fields.items():
        out += b"\xff" + text(name) + text(value)
    return out


def main():
    with open(os.path.join(ROOT, "tests", "data", "dialogs.json")) as f:
        dialogs = json.load(f)
    corpus = os.path.join(ROOT, "fuzz", "corpus", "fuzz_module")
    for old in os.listdir(corpus):
        if old.startswith("seed-"):
            os.remove(os.path.join(corpus, old))
    for mask, fields in dialogs.items():
        with open(os.path.join(corpus, f"seed-{mask}"), "wb") as f:
            f.write(seed(mask, fields))
    print(f"{len(dialogs)} seeds in {os.path.relpath(corpus, ROOT)}")


if __name__ == "__main__":
    main()
