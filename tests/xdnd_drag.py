#!/usr/bin/python3
"""Drags one file onto a point of the screen as a file manager does, through the X
server's drag-and-drop protocol (XDND), and writes how the target answered.

    xdnd_drag.py X Y FILE REPORT

X and Y are the point in root-window pixels; FILE is the file's Linux path. The
drag source owns the XdndSelection, sends enter, position and drop to the top-level
window under the point that is aware of XDND, and hands over the file as
text/uri-list whenever the target asks. REPORT receives one line once the drag has
ended: "dropped" when the target accepted the drop and said it had finished with
it, otherwise what went wrong. Exits 0 only for "dropped".
"""

import os
import sys
import time
from urllib.parse import quote

from Xlib import X, Xatom, display
from Xlib.protocol import event

# How long the target may take to answer: Wine under qemu-i386 is slow.
ANSWER_SECONDS = 60


def main():
    if len(sys.argv) != 5:
        sys.exit("usage: xdnd_drag.py X Y FILE REPORT")
    x, y, path, report = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4]
    outcome = drag(x, y, path)
    # Written whole and then renamed, so that a reader never sees half a line.
    with open(report + ".part", "w") as out:
        out.write(outcome + "\n")
    os.rename(report + ".part", report)
    sys.exit(0 if outcome == "dropped" else 1)


def drag(x, y, path):
    screen = display.Display()
    atom = screen.intern_atom
    aware, selection, uri_list = atom("XdndAware"), atom("XdndSelection"), atom("text/uri-list")
    root = screen.screen().root

    target = window_under(root, x, y, aware)
    if target is None:
        return f"no window aware of XDND at {x},{y}"
    version = min(5, target.get_full_property(aware, Xatom.ATOM).value[0])

    # The source is a window of its own, never shown: it owns the selection and
    # receives the target's answers.
    source = root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
    source.set_selection_owner(selection, X.CurrentTime)
    uris = ("file://" + quote(path) + "\r\n").encode()

    def send(name, data):
        message = event.ClientMessage(window=target, client_type=atom(name), data=(32, data))
        target.send_event(message)
        screen.flush()

    def await_message(name):
        """Answers the target's requests for the data until the message `name` comes."""
        deadline = time.monotonic() + ANSWER_SECONDS
        while time.monotonic() < deadline:
            if not screen.pending_events():
                time.sleep(0.005)
                continue
            got = screen.next_event()
            if got.type == X.SelectionRequest:
                hand_over(got, uri_list, uris)
                screen.flush()
            elif got.type == X.ClientMessage and got.client_type == atom(name):
                return got
        return None

    send("XdndEnter", [source.id, version << 24, uri_list, 0, 0])
    send("XdndPosition", [source.id, 0, (x << 16) | y, X.CurrentTime, atom("XdndActionCopy")])
    status = await_message("XdndStatus")
    if status is None:
        return "no XdndStatus from the target"
    if not status.data[1][1] & 1:
        send("XdndLeave", [source.id, 0, 0, 0, 0])
        return "refused"
    send("XdndDrop", [source.id, 0, X.CurrentTime, 0, 0])
    if await_message("XdndFinished") is None:
        return "no XdndFinished from the target"
    return "dropped"


def window_under(root, x, y, aware):
    """The window at the point, descending from the root, that carries XdndAware."""
    window = root
    while True:
        child = window.translate_coords(root, x, y).child
        if not child:
            return None
        if child.get_full_property(aware, Xatom.ATOM):
            return child
        window = child


def hand_over(request, uri_list, uris):
    """Answers one request for the selection: the file as text/uri-list, or none."""
    prop = request.property or request.target
    if request.target == uri_list:
        request.requestor.change_property(prop, uri_list, 8, uris)
    else:
        prop = X.NONE
    notify = event.SelectionNotify(time=request.time, requestor=request.requestor, selection=request.selection,
                                   target=request.target, property=prop)
    request.requestor.send_event(notify)


if __name__ == "__main__":
    main()
