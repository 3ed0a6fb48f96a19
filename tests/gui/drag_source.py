#!/usr/bin/python3
# A small window that drags a list of URIs, as a file manager would; for the end-to-end drop test.
# Usage: drag_source.py URI...   Prints "ready X Y" (the centre of its drag handle on the screen),
# then "accepted" once a drop target under the pointer has accepted the drag.
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402

uris = sys.argv[1:]
window = Gtk.Window(title="drag source")
window.move(10, 10)
handle = Gtk.Button(label="drag me")
handle.set_size_request(120, 60)
window.add(handle)
handle.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [Gtk.TargetEntry.new("text/uri-list", 0, 0)],
                       Gdk.DragAction.COPY)
handle.connect("drag-data-get", lambda widget, context, data, info, time: data.set_uris(uris))
state = {"context": None, "accepted": False}
handle.connect("drag-begin", lambda widget, context: state.update(context=context))
handle.connect("drag-end", lambda widget, context: Gtk.main_quit())


def watch():
    # The target's answer arrives as the drag's selected action; report it once.
    context = state["context"]
    if context is not None and not state["accepted"] and context.get_selected_action() != 0:
        state["accepted"] = True
        print("accepted", flush=True)
    return True


def announce():
    if not handle.get_mapped():
        return True
    x, y = handle.get_window().get_origin()[1:]
    allocation = handle.get_allocation()
    print("ready %d %d" % (x + allocation.x + allocation.width // 2, y + allocation.y + allocation.height // 2),
          flush=True)
    return False


window.show_all()
GLib.timeout_add(20, announce)
GLib.timeout_add(10, watch)
Gtk.main()
