"""Reads the tool's windows as a screen reader does: through the accessibility tree
(AT-SPI), by the accessible names the controls carry. Never from pixels.

  a11y.py ready                   starts the accessibility bus, if need be
  a11y.py list PID                the texts of the found-slave list's items, top first
  a11y.py where PID TARGET...     the screen point of each TARGET, "X Y" a line:
                                  item:N     the list's Nth item (from 0), at its middle
                                  cell:C,R   the grid's cell at column C, row R (row 15: the
                                             empty space below the last row)
                                  NAME       the control of that accessible name (a check
                                             box at its tick box)
  a11y.py boxes PID FILE SECONDS  appends each message box of process PID to FILE as it is
                                  shown, for SECONDS

A box's line: caption, tab, description (the icon's meaning), tab, text, tab, its buttons
in alphabetical order joined by "|"; a line feed in the text is written as \\n, a tab as \\t
and a backslash as \\\\.

Exits 1 with a message on standard error when the window or a TARGET is not there.
"""
import sys
import time

import pyatspi

# A window that is busy must not hold a reading up for long.
pyatspi.setTimeout(1000, 2000)

LIST_NAME = "Found slaves"
GRID_NAME = "Registered IDs"


def windows(pid):
    for app in pyatspi.Registry.getDesktop(0):
        try:
            if app.get_process_id() != pid:
                continue
        except Exception:  # an application going away, another instance of the tool
            continue
        return [app.getChildAtIndex(i) for i in range(app.childCount)]
    return []


def showing(acc):
    return acc is not None and acc.getState().contains(pyatspi.STATE_SHOWING)


def find_control(pid, name):
    """The shown control of that accessible name in the process's shown windows."""
    for window in windows(pid):
        if showing(window):
            for index in range(window.childCount):
                control = window.getChildAtIndex(index)
                if control.name == name and showing(control):
                    return control
    raise LookupError(f'no control "{name}" is shown')


def extents(acc):
    box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


def list_items(pid):
    view = find_control(pid, LIST_NAME)
    items = [view.getChildAtIndex(i) for i in range(view.childCount)]
    return [item for item in items if item.getRole() == pyatspi.ROLE_LIST_ITEM]


def point(pid, target):
    if target.startswith("item:"):
        index = int(target[5:])
        items = list_items(pid)
        if index >= len(items):
            raise LookupError(f"the list has no item {index}")
        x, y, w, h = extents(items[index])
        return x + w // 2, y + h // 2
    if target.startswith("cell:"):
        col, row = (int(n) for n in target[5:].split(","))
        grid = find_control(pid, GRID_NAME)
        table = grid.queryTable()
        last = table.nRows - 1
        x, y, w, h = extents(table.getAccessibleAt(min(row, last), col))
        # A wide column runs on beyond the grid's right edge: aim at its visible part.
        gx, _, gw, _ = extents(grid)
        w = min(x + w, gx + gw) - x
        return x + w // 2, y + h // 2 + max(row - last, 0) * (h + 1)
    control = find_control(pid, target)
    x, y, w, h = extents(control)
    if control.getRole() == pyatspi.ROLE_CHECK_BOX:
        return x + h // 2, y + h // 2
    return x + w // 2, y + h // 2


def escaped(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")


def box_line(box):
    texts, buttons = [], []
    for acc in pyatspi.findAllDescendants(box, lambda acc: True):
        role = acc.getRole()
        if role == pyatspi.ROLE_LABEL:
            texts.append(acc.name)
        elif role == pyatspi.ROLE_PUSH_BUTTON:
            buttons.append(acc.name)
    fields = [box.name, box.description, "\n".join(texts), "|".join(sorted(buttons))]
    return "\t".join(escaped(field) for field in fields) + "\n"


def watch_boxes(pid, path, seconds):
    # A box counts once for as long as it stays shown.
    shown = set()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        now = set()
        try:
            for window in windows(pid):
                if window.getRole() == pyatspi.ROLE_ALERT and showing(window):
                    if window.path not in shown:
                        line = box_line(window)
                        with open(path, "a") as log:
                            log.write(line)
                    now.add(window.path)
        except Exception:
            # The process is busy or between windows; what it did not show now is read
            # again in the next round.
            now |= shown
        shown = now
        time.sleep(0.05)


def main(args):
    command = args[0] if args else ""
    if command == "ready":
        # The first call starts the bus through the session bus, and waits for it.
        pyatspi.Registry.getDesktop(0).childCount
    elif command == "list" and len(args) == 2:
        for item in list_items(int(args[1])):
            print(item.name)
    elif command == "where" and len(args) >= 3:
        for target in args[2:]:
            print(*point(int(args[1]), target))
    elif command == "boxes" and len(args) == 4:
        watch_boxes(int(args[1]), args[2], float(args[3]))
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except Exception as error:  # the window went away, or did not answer in time
        print(f"a11y: {error}", file=sys.stderr)
        sys.exit(1)
