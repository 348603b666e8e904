#!/usr/bin/env python3
"""Fails when a source file of the plug-in includes a header of a higher layer.

The layers, lowest first: core (foundation types and file access), host (the
binding to the host's functions), map (reading and building a map), then the
export layer: commands (the script commands' bodies) and plugin (process-wide
state, export declarations, the command table), which may use each other.
A layer may include its own headers and those of the layers below it.
"""
import os
import re
import sys

RANK = {"core": 0, "host": 1, "map": 2, "commands": 3, "plugin": 3}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/[^"]+"', re.M)


def upward_includes(src):
    for layer in RANK:
        folder = os.path.join(src, layer)
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            for match in INCLUDE.finditer(text):
                target = match.group(1)
                if target in RANK and RANK[target] > RANK[layer]:
                    yield f"{layer}/{name} includes {match.group(0).split(None, 1)[-1].strip()}"


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    found = list(upward_includes(src))
    for line in found:
        print("upward include:", line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
