# The screen reader's side of atspi_records.sh, through AT-SPI (pyatspi): finds the program
# and its buttons by name, presses "down load" through the action interface, waits for the
# record text to read EXPECTED (a file) through the text interface, and checks that the
# insertions it was told of add up to that text and that moving the caret is told.
# usage: atspi_client.py PID EXPECTED SECONDS
import sys
import time

import pyatspi
from gi.repository import GLib

pid, expected_file, seconds = int(sys.argv[1]), sys.argv[2], float(sys.argv[3])
expected = open(expected_file, encoding="latin-1").read()
deadline = time.monotonic() + seconds


def fail(why):
    print("FAIL: " + why, file=sys.stderr)
    sys.exit(1)


def until(what, find):
    while True:
        try:
            found = find()
        except Exception:  # the tree changes while walked; ask again
            found = None
        if found:
            return found
        if time.monotonic() > deadline:
            fail("no " + what)
        time.sleep(0.1)
        while GLib.MainContext.default().iteration(False):  # the events so far
            pass


def walk(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def app():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        a = desktop.getChildAtIndex(i)
        if a is not None and a.get_process_id() == pid:
            return a


def named(role, name):
    return lambda: next((n for n in walk(app()) if n.getRole() == role and n.name == name), None)


program = until("application with pid %d" % pid, app)
buttons = {}
for name in ("down load", "file save", "file load", "PORT"):
    buttons[name] = until("button '%s'" % name, named(pyatspi.ROLE_PUSH_BUTTON, name))

records = until(
    "record text",
    lambda: next((n for n in walk(program) if n.getRole() == pyatspi.ROLE_TERMINAL and n.name == "records"), None),
)
states = records.getState()
if not states.contains(pyatspi.STATE_FOCUSABLE) or states.contains(pyatspi.STATE_EDITABLE):
    fail("the record text is not a focusable read-only text")

told = []  # (kind, offset, text) of the record text's events, in order


def listen(event):
    if event.source == records:
        told.append((event.type, event.detail1, event.any_data))


for kind in ("object:text-changed:insert", "object:text-changed:delete", "object:text-caret-moved"):
    pyatspi.Registry.registerEventListener(listen, kind)

action = buttons["down load"].queryAction()
press = next((i for i in range(action.nActions) if action.getName(i) in ("Press", "press", "click")), 0)
action.doAction(press)

text = records.queryText()
got = until("record text '%s'" % expected.replace("\n", "|"),
            lambda: text.getText(0, -1) == expected and text)


def inserted():
    built = ""
    for kind, at, what in told:
        if kind.startswith("object:text-changed:insert"):
            if at != len(built):
                fail("inserted at %d, not at the end (%d)" % (at, len(built)))
            built += what
        elif kind.startswith("object:text-changed:delete"):
            fail("the download removed text: %s" % (told,))
    return built == expected


until("insertions adding up to the records: %s" % told, inserted)
inserts = sum(1 for t in told if t[0].startswith("object:text-changed:insert"))

told.clear()
text.setCaretOffset(3)
until("caret event at 3: %s" % told,
      lambda: any(k.startswith("object:text-caret-moved") and at == 3 for k, at, _ in told))
print("read %d characters of records through AT-SPI, told in %d insertions" %
      (text.characterCount, inserts))
