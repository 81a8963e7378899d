#!/usr/bin/env python3
"""Writes a korlix-host model file of N blocks that mixes all fourteen block classes. Each block takes the
realistic dialog of its class from tests/data/dialogs.json, with its own signal, frame and PDU names and
indexes so that no two blocks of a class are alike.

Usage: scripts/gen-model.py N > model.json
"""
import json
import os
import sys

DIALOGS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data", "dialogs.json")

# Fields that differ from block to block: the text of block i.
VARIED = {
    "SignalName": lambda i: f"Sig_{i}",
    "SignalIndex": lambda i: str(i % 900),
    "FrameLabel": lambda i: f"FR_Frame_{i % 120}",
    "FrameIndex": lambda i: str(i % 120),
    "PduLabel": lambda i: f"PDU_{i % 200}",
    "PduIndex": lambda i: str(i % 200),
}


def main():
    if len(sys.argv) != 2 or not sys.argv[1].isdigit():
        sys.exit(__doc__)
    n = int(sys.argv[1])
    with open(DIALOGS) as f:
        dialogs = json.load(f)
    masks = list(dialogs)
    blocks = []
    for i in range(n):
        mask = masks[i % len(masks)]
        fields = {name: VARIED[name](i) if name in VARIED else text for name, text in dialogs[mask].items()}
        blocks.append({"name": f"{mask} {i}", "maskType": mask, "parameters": fields, "sampleTime": 0.01})
    json.dump({"model": f"generated_{n}", "executionSystem": {"errorText": "", "execSys": "target_rt",
                                                               "sysType": "host"}, "blocks": blocks},
              sys.stdout, indent=1)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
