#!/usr/bin/python3
"""Drives the Timers/Alerts pane of a running program through AT-SPI, as a screen reader user would.

    timerPaneAtspi.py controls APP          one line per control: role, name, description (tab-separated)
    timerPaneAtspi.py add APP TITLE SECONDS types the title, steps the duration to SECONDS, presses Add
    timerPaneAtspi.py cell APP ROW COLUMN   the text of the timer table's cell (COLUMN as its header says)

APP is the application's name on the accessibility bus (the program's file name). The program must have
started with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 after the accessibility bus was up. Exit status: 0 done,
1 the pane or a control was not found, 2 a usage error.
"""

import sys

import pyatspi

PANE = "Timers"  # the pane's and the table's accessible name
TITLE = "Title"
STEPPER = "Step the duration"
ADD = "Add"


def fail(message, status=1):
    sys.stderr.write("timerPaneAtspi: %s\n" % message)
    sys.exit(status)


def application(name):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == name:
            return app
    fail("no application named %s on the accessibility bus" % name)


def pane(app):
    found = pyatspi.findDescendant(
        app, lambda node: node.name == PANE and node.getRoleName() == "filler", True)
    if found is None:
        fail("the application shows no timer pane")
    return found


def control(parent, role, name):
    found = pyatspi.findDescendant(
        parent, lambda node: node.getRoleName() == role and node.name == name, True)
    if found is None:
        fail("the timer pane has no %s named %s" % (role, name))
    return found


def controls(parent):
    lines = []
    for node in parent:
        if node is None or node.getRoleName() == "table column header":
            continue
        lines.append("%s\t%s\t%s" % (node.getRoleName(), node.name, node.description))
        if node.getRoleName() != "table":
            lines.extend(controls(node))
    return lines


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("Press", "press", "click"):
            action.doAction(i)
            return
    fail("%s cannot be pressed" % node.name)


def add(parent, title, seconds):
    text = control(parent, "text", TITLE)
    editable = text.queryEditableText()
    editable.setTextContents(title)
    # With no part of the duration selected the stepper moves it by seconds: the stepper's value is the
    # duration.
    control(parent, "spin button", STEPPER).queryValue().currentValue = float(seconds)
    press(control(parent, "push button", ADD))


def cell(parent, row, column):
    table = control(parent, "table", PANE).queryTable()
    for index in range(table.nColumns):
        header = table.getColumnHeader(index)
        if header is not None and header.name == column:
            return table.getAccessibleAt(row, index).name
    fail("the timer table has no column %s" % column)


def main(arguments):
    if len(arguments) < 2:
        fail(__doc__.strip().splitlines()[2].strip(), 2)
    command, app = arguments[0], application(arguments[1])
    if command == "controls" and len(arguments) == 2:
        print("\n".join(controls(pane(app))))
    elif command == "add" and len(arguments) == 4:
        add(pane(app), arguments[2], int(arguments[3]))
    elif command == "cell" and len(arguments) == 4:
        print(cell(pane(app), int(arguments[2]), arguments[3]))
    else:
        fail("unknown command or wrong number of arguments: %s" % " ".join(arguments), 2)


if __name__ == "__main__":
    main(sys.argv[1:])
