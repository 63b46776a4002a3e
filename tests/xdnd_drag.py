#!/usr/bin/python3
"""xdnd_drag.py X Y FILE: drags FILE (a Linux path) onto the root-window point X, Y
as a file manager does, through XDND; exits 0 once the target took and finished it."""
import sys
import time
from urllib.parse import quote

from Xlib import X, Xatom, display
from Xlib.protocol import event

x, y, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
screen = display.Display()
atom, root = screen.intern_atom, screen.screen().root
target = root
while target and not target.get_full_property(atom("XdndAware"), Xatom.ATOM):
    target = target.translate_coords(root, x, y).child  # down to the XDND-aware window at the point
if not target:
    sys.exit(f"no window aware of XDND at {x},{y}")
version = min(5, target.get_full_property(atom("XdndAware"), Xatom.ATOM).value[0])
source = root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
source.set_selection_owner(atom("XdndSelection"), X.CurrentTime)


def send(name, *data):
    target.send_event(event.ClientMessage(window=target, client_type=atom(name), data=(32, [source.id, *data])))
    screen.flush()


def answer_until(name):
    """Hands the file over as text/uri-list whenever asked, until the message `name`."""
    deadline = time.monotonic() + 60  # Wine emulated by qemu-i386 is slow
    while time.monotonic() < deadline:
        got = screen.next_event() if screen.pending_events() else time.sleep(0.005)
        if got and got.type == X.SelectionRequest:
            given = got.target == atom("text/uri-list")
            if given:
                got.requestor.change_property(got.property, got.target, 8, f"file://{quote(path)}\r\n".encode())
            got.requestor.send_event(event.SelectionNotify(time=got.time, requestor=got.requestor, selection=got.selection,
                                                           target=got.target, property=got.property if given else X.NONE))
            screen.flush()
        elif got and got.type == X.ClientMessage and got.client_type == atom(name):
            return got
    sys.exit(f"no {name} from the target")


send("XdndEnter", version << 24, atom("text/uri-list"), 0, 0)
send("XdndPosition", 0, (x << 16) | y, X.CurrentTime, atom("XdndActionCopy"))
if not answer_until("XdndStatus").data[1][1] & 1:
    sys.exit("the target refused the drop")
send("XdndDrop", 0, X.CurrentTime, 0, 0)
answer_until("XdndFinished")
