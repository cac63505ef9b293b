#!/usr/bin/python3
"""Reads a running program's windows through AT-SPI, as a screen reader meets them.

atspiWindow.py PID [press NAME]

Waits up to 20 s for the program with process id PID on the accessibility bus, optionally presses the push
button named NAME (the way a screen reader's user activates it), and prints one line per accessible object
of the program: its depth, its role, its name and its states, separated by '|'. Exits 1 when the program
does not appear, 2 when there is no such button.
"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from atspiSupport import find_application  # noqa: E402

import pyatspi



def walk(node, depth, lines, limit=4000):
    if node is None or len(lines) > limit:
        return
    states = node.getState().getStates()
    lines.append((depth, node, node.getRoleName(), node.name or "",
                  ",".join(pyatspi.stateToString(s) for s in states)))
    for index in range(node.childCount):
        walk(node.getChildAtIndex(index), depth + 1, lines)


def main():
    pid = int(sys.argv[1])
    application = find_application(pid, 20, with_windows=True)
    if application is None:
        print("no such program on the accessibility bus", file=sys.stderr)
        return 1
    lines = []
    walk(application, 0, lines)
    if len(sys.argv) >= 4 and sys.argv[2] == "press":
        target = [n for (_, n, role, name, _) in lines if role == "push button" and name == sys.argv[3]]
        if not target:
            print("no push button named %s" % sys.argv[3], file=sys.stderr)
            return 2
        target[0].queryAction().doAction(0)
        time.sleep(0.1)
        lines = []
        walk(application, 0, lines)
    for depth, _, role, name, states in lines:
        print("%d|%s|%s|%s" % (depth, role, name.replace("\n", " "), states))
    return 0


if __name__ == "__main__":
    sys.exit(main())
