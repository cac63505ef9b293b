#!/usr/bin/python3
# readAccessibleTree.py PID [SECONDS]: prints, one JSON object a line, the role and name of every accessible
# object of the program whose process id is PID, as a screen reader such as Orca meets them over AT-SPI.
# Waits up to SECONDS (10) for the program to appear on the accessibility bus; exits 1 if it never does.
import json
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from atspiSupport import find_application  # noqa: E402

import pyatspi



def walk(node, depth, out):
    try:
        out.append({"depth": depth, "role": node.getRoleName(), "name": node.name or ""})
        for index in range(node.childCount):
            child = node.getChildAtIndex(index)
            if child is not None:
                walk(child, depth + 1, out)
    except Exception as error:  # an object that went away while we read it
        out.append({"depth": depth, "role": "error", "name": str(error)})


def main():
    pid = int(sys.argv[1])
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10.0
    application = find_application(pid, seconds)
    if application is None:
        print("no application with process id %d on the accessibility bus" % pid, file=sys.stderr)
        return 1
    nodes = []
    walk(application, 0, nodes)
    for node in nodes:
        print(json.dumps(node))
    return 0


if __name__ == "__main__":
    sys.exit(main())
