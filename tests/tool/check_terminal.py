#!/usr/bin/env python3
"""korlix-host on a terminal: the progress of a run is one line on standard error, rewritten in place and
cleared at the end, so that the report follows on a clean line; --quiet leaves the terminal alone.

check_terminal.py TOOL MODULE MODEL"""
import os
import pty
import subprocess
import sys


def expect(condition, message):
    if not condition:
        sys.exit("check_terminal: " + message)


def on_terminal(tool, module, model, *extra):
    """What the run writes to a terminal given as its standard error."""
    main, side = pty.openpty()
    run = subprocess.run([tool, "check", model, "--module", module, *extra], stdout=subprocess.DEVNULL,
                         stderr=side, check=False)
    os.close(side)
    shown = b""
    while True:
        try:
            chunk = os.read(main, 65536)
        except OSError:  # the terminal's other side is closed: all is read
            break
        if not chunk:
            break
        shown += chunk
    os.close(main)
    expect(run.returncode == 0, f"exit code {run.returncode}")
    return shown.decode()


def main():
    tool, module, model = sys.argv[1:]
    shown = on_terminal(tool, module, model)
    expect(shown.startswith("\rkorlix-host: "), f"progress line first: {shown[:40]!r}")
    expect("\n" not in shown, f"one line only: {shown!r}")
    expect(shown.endswith("\r\x1b[K"), f"the line cleared at the end: {shown[-20:]!r}")
    expect(on_terminal(tool, module, model, "--quiet") == "", "--quiet writes nothing")


if __name__ == "__main__":
    main()
