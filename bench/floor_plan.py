#!/usr/bin/env python3
"""Writes the plan of bench/floor.c: every folder and file below a finished bunkai run's
working folder, parents before children, so that the floor program makes the same tree.

Usage: floor_plan.py WORKING_FOLDER PLAN
"""

import os
import sys


def main(root, plan_path):
    root = os.fsencode(root)
    with open(plan_path, "wb") as plan:
        for folder, subfolders, files in os.walk(root):
            relative = os.path.relpath(folder, root)
            prefix = b"" if relative == b"." else relative + b"/"
            for name in sorted(subfolders):
                path = prefix + name
                plan.write(b"D %d\n" % len(path) + path)
            for name in sorted(files):
                path = prefix + name
                with open(os.path.join(folder, name), "rb") as f:
                    data = f.read()
                plan.write(b"F %d %d\n" % (len(path), len(data)) + path + data)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
