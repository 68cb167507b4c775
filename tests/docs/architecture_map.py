#!/usr/bin/env python3
"""docs/architecture.md stays true: every path it names exists, every library it describes is
a folder of src/core (or one of the other top-level parts), and every core library is on the
map."""
import os
import re
import sys

root = sys.argv[1]
doc = open(os.path.join(root, "docs/architecture.md"), encoding="utf-8").read()
problems = []

# Paths in backticks: src/..., assets/..., tests/..., docs/...
for path in sorted(set(re.findall(r"`((?:src|assets|tests|docs|bench|scripts|cmake)/[^`\s]*)`", doc))):
    if not os.path.exists(os.path.join(root, path)):
        problems.append("names a path that does not exist: " + path)

# The libraries described: "- **name** (`src/core/name`)" or "- **src/app**".
described = set()
for name in re.findall(r"^- \*\*([\w/]+)\*\*", doc, re.M):
    folder = name if "/" in name else "src/core/" + name
    described.add(folder)
    if not os.path.isdir(os.path.join(root, folder)):
        problems.append("describes a library without a folder: " + name)

# Every core library is described.
core = os.path.join(root, "src/core")
for entry in sorted(os.listdir(core)):
    if os.path.isdir(os.path.join(core, entry)) and "src/core/" + entry not in described:
        problems.append("src/core/" + entry + " is not on the map")

for p in problems:
    print(p)
print("%d passed, %d failed" % (0 if problems else 1, 1 if problems else 0))
sys.exit(1 if problems else 0)
