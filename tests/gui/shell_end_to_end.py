#!/usr/bin/python3
# End-to-end: the built program as its own process under Xvfb, driven from outside as a user would
# (AT-SPI finds the controls, xdotool moves the pointer and types): drag a file from another
# program onto the path field, tick two algorithms, verify,
# copy the CRC32 result, quit through the quit question; then the settings file is checked byte
# for byte and the copied checksum must still be on the clipboard, handed to the clipboard manager.
# Usage: shell_end_to_end.py PROGRAM CLIPBOARD_MANAGER   (needs DISPLAY and a D-Bus session:
# scripts/with-xvfb.sh)
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time
import zlib

import pyatspi
from gi.repository import GLib

DEADLINE_S = 20


def wait_for(what, condition):
    """Polls an outside condition until it holds or the deadline passes."""
    end = time.monotonic() + DEADLINE_S
    while time.monotonic() < end:
        try:
            result = condition()
        except GLib.GError:  # an accessible that went away while it was looked at: look again
            result = None
        if result:
            return result
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


def read_line(stream):
    """One line from a helper's output, or "" when none comes before the deadline."""
    ready, _, _ = select.select([stream], [], [], DEADLINE_S)
    return stream.readline().strip() if ready else ""


def xdotool(*args):
    return subprocess.run(["xdotool", *args], check=True, capture_output=True, text=True).stdout.strip()


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == "hashwarden":
            return app
    return None


def find(root, role, name):
    return pyatspi.findDescendant(root, lambda a: a is not None and a.getRoleName() == role and a.name == name)


def click(accessible):
    x, y, w, h = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    xdotool("mousemove", "--sync", str(x + w // 2), str(y + h // 2), "click", "1")


def checked(accessible):
    return accessible.getState().contains(pyatspi.STATE_CHECKED)


def dialog_named(app, title):
    for child in app:
        if child is not None and child.name == title and child.getState().contains(pyatspi.STATE_VISIBLE):
            return child
    return None


def centre(accessible):
    x, y, w, h = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return x + w // 2, y + h // 2


def drag_file_onto(path_entry, path):
    """Drags `path` from a separate program onto the path field with the real pointer."""
    source = subprocess.Popen(["/usr/bin/python3", os.path.join(os.path.dirname(__file__), "drag_source.py"),
                               "file://" + path], stdout=subprocess.PIPE, text=True)
    try:
        words = read_line(source.stdout).split()
        assert words and words[0] == "ready", "the drag source did not start"
        start_x, start_y = int(words[1]), int(words[2])
        target_x, target_y = centre(path_entry)
        xdotool("mousemove", "--sync", str(start_x), str(start_y), "mousedown", "1")
        for step in range(1, 11):  # past the drag threshold, then across to the field
            x = start_x + (target_x - start_x) * step // 10
            y = start_y + (target_y - start_y) * step // 10
            xdotool("mousemove", "--sync", str(x), str(y))
        # Release only once the field has accepted the drag, or the drop would be cancelled.
        accepted = ""
        for nudge in range(100):
            ready, _, _ = select.select([source.stdout], [], [], 0.1)
            if ready:
                accepted = source.stdout.readline().strip()
                break
            xdotool("mousemove", "--sync", str(target_x + nudge % 2), str(target_y))
        assert accepted == "accepted", "the path field did not accept the dragged file"
        xdotool("mouseup", "1")
        source.wait(timeout=DEADLINE_S)
    finally:
        if source.poll() is None:
            source.kill()
            source.wait()


def copy_button_beside(app, box, algorithm):
    """The Copy button a screen reader names after `algorithm`, when it stands on the check box's row."""
    _, row_y, _, row_h = box.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    button = find(app, "push button", "Copy " + algorithm)
    if button is None:
        return None
    _, y, _, h = button.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return button if abs((y + h // 2) - (row_y + row_h // 2)) <= 3 else None


def main():
    executable = os.path.abspath(sys.argv[1])
    manager = subprocess.Popen([sys.argv[2]], stdout=subprocess.PIPE, text=True)
    assert read_line(manager.stdout) == "ready", "the clipboard manager did not start"
    home = tempfile.mkdtemp(prefix="hw-e2e-")
    try:
        data = os.path.join(home, "data.bin")
        content = b"end to end\n"
        with open(data, "wb") as f:
            f.write(content)
        env = dict(os.environ, HOME=home, LC_ALL="C.UTF-8", GTK_A11Y="atspi")
        env.pop("LANG", None)  # no settings and no LANG: en_GB is in force
        program = subprocess.Popen([executable, data], env=env)
        try:
            window = wait_for("the main window", lambda: subprocess.run(
                ["xdotool", "search", "--onlyvisible", "--name", r"^Hashwarden v1\.0\.0\.0"],
                capture_output=True, text=True).stdout.split())[0]
            app = wait_for("the program on the accessibility bus", application)
            path_entry = wait_for("the path field", lambda: find(app, "text", "File"))
            assert path_entry.queryText().getText(0, -1) == data, "the start argument is in the path field"

            # A file dragged in from another program replaces it.
            dropped = os.path.join(home, "dropped file.bin")
            content = b"dropped from elsewhere\n"
            with open(dropped, "wb") as f:
                f.write(content)
            drag_file_onto(path_entry, dropped.replace(" ", "%20"))
            wait_for("the dropped file in the path field", lambda: path_entry.queryText().getText(0, -1) == dropped)

            # Tick CRC32 and SHA2 - 256 with the pointer, as a user would.
            for name in ("CRC32", "SHA2 - 256"):
                box = wait_for(name, lambda: find(app, "check box", name))
                assert not checked(box), name + " starts unticked"
                click(box)
                wait_for(name + " ticked", lambda: checked(box))

            # Verify, acknowledge the end message with Return, copy the CRC32 result.
            click(wait_for("the Verify button", lambda: find(app, "push button", "Verify")))
            message = wait_for("the end message", lambda: dialog_named(app, "Message"))
            assert find(message, "label", "The calculation has finished.\n\nFailed calculations:  0") is not None
            # A screen reader hears a message, of the kind information, with a named icon.
            assert (message.getRoleName(), message.description) == ("alert", "Information"), \
                (message.getRoleName(), message.description)
            assert find(message, "icon", "Information") is not None, "the message's icon has no name"
            xdotool("key", "Return")
            wait_for("the end message to close", lambda: dialog_named(app, "Message") is None)
            # Every row's Copy button is named after its algorithm, on that algorithm's row.
            for label, algorithm in (("CRC32", "CRC32"), ("SHA1", "SHA1"), ("SHA2 - 256", "SHA2-256"),
                                     ("SHA3 - 512", "SHA3-512")):
                row_box = find(app, "check box", label)
                assert copy_button_beside(app, row_box, algorithm) is not None, "no Copy " + algorithm + " on its row"
            crc_box = find(app, "check box", "CRC32")
            copy = wait_for("the CRC32 Copy button", lambda: copy_button_beside(app, crc_box, "CRC32"))
            wait_for("the Copy button to be usable", lambda: copy.getState().contains(pyatspi.STATE_SENSITIVE))
            click(copy)

            # Ctrl+Q asks; Escape answers No and the program goes on.
            xdotool("windowfocus", "--sync", window)
            xdotool("key", "--clearmodifiers", "ctrl+q")
            question = wait_for("the quit question", lambda: dialog_named(app, "Message"))
            assert find(question, "label", "Do you really want to quit Hashwarden?") is not None
            assert (question.getRoleName(), question.description) == ("dialog", "Question"), \
                (question.getRoleName(), question.description)
            assert find(question, "icon", "Warning") is not None, "the question's icon has no name"
            xdotool("key", "Escape")
            wait_for("the question to close", lambda: dialog_named(app, "Message") is None)
            assert program.poll() is None, "No keeps the program running"

            # Ctrl+Q again; the Yes button ends it.
            xdotool("windowfocus", "--sync", window)
            xdotool("key", "--clearmodifiers", "ctrl+q")
            question = wait_for("the quit question again", lambda: dialog_named(app, "Message"))
            click(wait_for("the Yes button", lambda: find(question, "push button", "Yes")))
            status = program.wait(timeout=DEADLINE_S)
            assert status == 0, "exit status %d" % status
        finally:
            if program.poll() is None:
                program.kill()
                program.wait()

        keys = ["CRC32", "MD5", "SHA1", "SHA2224", "SHA2256", "SHA2384", "SHA2512",
                "SHA3224", "SHA3256", "SHA3384", "SHA3512"]
        expected = "\ufeff\n; Hashwarden Preferences\n[Language]\nLanguage = en_GB\n[General]\n" + "".join(
            "%s = %d\n" % (key, 1 if key in ("CRC32", "SHA2256") else 0) for key in keys)
        with open(os.path.join(home, ".Brightmoor", "Hashwarden", "Hashwarden.prefs"), "rb") as f:
            written = f.read()
        assert written == expected.encode("utf-8"), "settings file:\n%r\nexpected:\n%r" % (written, expected)

        # The program is gone; its last copy lives on with the clipboard manager.
        crc = "%08x" % (zlib.crc32(content) & 0xFFFFFFFF)
        assert read_line(manager.stdout) == "saved %d" % len(crc), "no hand-over to the clipboard manager"
        pasted = subprocess.run(["xclip", "-selection", "clipboard", "-o"], capture_output=True, text=True,
                                timeout=DEADLINE_S).stdout
        assert pasted == crc, "clipboard after exit: %r, expected %r" % (pasted, crc)
        print("end-to-end: OK")
    finally:
        manager.kill()
        manager.wait()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
