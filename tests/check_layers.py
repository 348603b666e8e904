#!/usr/bin/env python3
"""Fails when a source file of the plug-in includes a header of a higher layer.

The layers, lowest first: core (foundation types and file access), then side
by side host (the binding to the host's functions) and map (the model and the
reader, which turns bytes into it and never calls the host), then build (the
host's images and objects made from a model), then the export layer: commands
(the script commands' bodies) and plugin (process-wide state, export
declarations, the command table), which may use each other.
"""
import os
import re
import sys

# What each layer may include besides itself.
BELOW = {
    "core": set(),
    "host": {"core"},
    "map": {"core"},
    "build": {"core", "host", "map"},
    "commands": {"core", "host", "map", "build", "plugin"},
    "plugin": {"core", "host", "map", "build", "commands"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/[^"]+"', re.M)


def upward_includes(src):
    for layer in BELOW:
        folder = os.path.join(src, layer)
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            for match in INCLUDE.finditer(text):
                target = match.group(1)
                if target in BELOW and target != layer and target not in BELOW[layer]:
                    yield f"{layer}/{name} includes {match.group(0).split(None, 1)[-1].strip()}"


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    found = list(upward_includes(src))
    for line in found:
        print("include against the layers:", line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
