#!/usr/bin/python3
"""Reads the companion's timer windows through AT-SPI, as a screen reader meets them.

    timerWindowsAtspi.py PID [SECONDS]   one JSON object a line for each timer window of the program whose
                                         process id is PID: {"title", "x", "y", "width", "height", "text"}

"title" is the window's name (the timer's title), "text" the time left it shows. Windows that are not on
the screen are not listed. Waits up to SECONDS (10) for the program to appear on the accessibility bus.
Exit status: 0 done, 1 the program was not found, 2 a usage error.
"""

import json
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from atspiSupport import find_application  # noqa: E402

import pyatspi



def label_text(window):
    found = pyatspi.findDescendant(window, lambda node: node.getRoleName() == "label", True)
    return found.name if found is not None else None


def main(arguments):
    if len(arguments) not in (1, 2):
        sys.stderr.write(__doc__)
        return 2
    pid = int(arguments[0])
    seconds = float(arguments[1]) if len(arguments) > 1 else 10.0
    application = find_application(pid, seconds)
    if application is None:
        sys.stderr.write("no application with process id %d on the accessibility bus\n" % pid)
        return 1
    for index in range(application.childCount):
        window = application.getChildAtIndex(index)
        if window is None:
            continue
        try:
            if not window.getState().contains(pyatspi.STATE_SHOWING):
                continue
            text = label_text(window)
            if text is None:
                continue
            x, y, width, height = window.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            print(json.dumps({"title": window.name or "", "x": x, "y": y, "width": width, "height": height,
                              "text": text}))
        except Exception as error:  # a window that went away while it was read
            sys.stderr.write("a window could not be read: %s\n" % error)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
