#!/usr/bin/env python3
"""The built program from outside: started with a file argument under X, all eleven algorithms
ticked and the file's SHA2-256 typed as the expected checksum through the accessibility interface,
bare and as a checksum-list line, Verify, the end message answered; each row's description tells its
verdict and why a red row is red, as a screen reader reads it; Copy all, and the CLIPBOARD read with
xclip, every line checked against OpenSSL's command-line tool and zlib."""
import os
import subprocess
import sys
import tempfile
import time
import zlib

import pyatspi
from gi.repository import GLib

# The rows' accessible names (the check boxes' labels) and the shipped English verdicts.
ROW_NAMES = ["CRC32", "MD5", "SHA1", "SHA2 - 224", "SHA2 - 256", "SHA2 - 384", "SHA2 - 512",
             "SHA3 - 224", "SHA3 - 256", "SHA3 - 384", "SHA3 - 512"]
MATCHES = "Matches the expected checksum."
DOES_NOT_MATCH = "Does not match the expected checksum."
OF_A_256 = "\nThe expected checksum has the length of SHA2-256 or SHA3-256 checksums, not that of this algorithm."
LIST_LINE = ("\nThis is a line of a checksum list, and its checksum matches this result; only the checksum itself "
             "belongs in the Expected checksum field.\nThe line names the chosen file.")
LABELS = ["CRC32", "MD5", "SHA1", "SHA2-224", "SHA2-256", "SHA2-384", "SHA2-512",
          "SHA3-224", "SHA3-256", "SHA3-384", "SHA3-512"]
OPENSSL_NAMES = [None, "md5", "sha1", "sha224", "sha256", "sha384", "sha512",
                 "sha3-224", "sha3-256", "sha3-384", "sha3-512"]
TIMEOUT = 60.0


def wait_for(what, probe, timeout=TIMEOUT):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        try:
            found = probe()
        except GLib.GError:  # an accessible that went away while it was looked at: look again
            found = None
        if found:
            return found
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


def descendants(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def extents(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


def click(node):
    node.queryAction().doAction(0)


def program_app(pid):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def frames(app):
    return [f for f in app if f is not None and f.getRole() == pyatspi.ROLE_FRAME]


def open_dialog(app, main):
    """The message dialog: the window other than the main one that is showing and has buttons (an alert
    for a message, a dialog for a question)."""
    for frame in [w for w in app if w is not None and w.getRole() in (pyatspi.ROLE_FRAME, pyatspi.ROLE_ALERT,
                                                                       pyatspi.ROLE_DIALOG)]:
        if frame == main or not frame.getState().contains(pyatspi.STATE_SHOWING):
            continue
        buttons = [n for n in descendants(frame) if n.getRole() == pyatspi.ROLE_PUSH_BUTTON]
        if buttons:
            text = " ".join(n.name for n in descendants(frame) if n.getRole() == pyatspi.ROLE_LABEL)
            return frame, text, sorted(buttons, key=lambda b: extents(b)[0])
    return None


def answer_dialog(app, main, right_hand=True):
    frame, text, buttons = wait_for("a message dialog", lambda: open_dialog(app, main))
    click(buttons[-1] if right_hand else buttons[0])
    wait_for("the dialog to close", lambda: open_dialog(app, main) is None)
    return text


def reference_digest(path, slot):
    if slot == 0:
        with open(path, "rb") as data:
            return "%08x" % (zlib.crc32(data.read()) & 0xFFFFFFFF)
    out = subprocess.run(["openssl", "dgst", "-r", "-" + OPENSSL_NAMES[slot], path],
                         check=True, capture_output=True, text=True).stdout
    return out.split()[0]


def main():
    program = sys.argv[1]
    work = tempfile.mkdtemp(prefix="hw-outside-")
    data = os.path.join(work, "sample data.bin")
    with open(data, "wb") as out:
        out.write(os.urandom(3 * 1024 * 1024 + 517))
    home = os.path.join(work, "home")
    os.mkdir(home)
    env = dict(os.environ, HOME=home, LANG="C.UTF-8", NO_AT_BRIDGE="0", GTK_A11Y="atk")
    proc = subprocess.Popen([program, data], env=env)
    try:
        app = wait_for("the program on the accessibility bus", lambda: program_app(proc.pid))
        main_frame = wait_for("the main window", lambda: next(
            (f for f in frames(app) if f.name.startswith("Hashwarden")), None))
        nodes = list(descendants(main_frame))
        boxes = [n for n in nodes if n.getRole() == pyatspi.ROLE_CHECK_BOX]
        assert len(boxes) == 11, "expected eleven check boxes, found %d" % len(boxes)
        for box in boxes:
            if not box.getState().contains(pyatspi.STATE_CHECKED):
                click(box)
        wait_for("all eleven ticked", lambda: all(b.getState().contains(pyatspi.STATE_CHECKED) for b in boxes))

        texts = [n for n in nodes if n.getRole() == pyatspi.ROLE_TEXT]
        rows = {n.name: n for n in texts if n.name in ROW_NAMES}
        assert len(rows) == 11, "expected eleven result rows, found %r" % sorted(rows)
        assert all(row.description == "" for row in rows.values()), "a verdict before any compare"
        expected = next(n for n in texts if n.getState().contains(pyatspi.STATE_EDITABLE))
        buttons = [n for n in nodes if n.getRole() == pyatspi.ROLE_PUSH_BUTTON]
        verify = max(buttons, key=lambda b: extents(b)[3])            # the tallest button
        copy_all = min(buttons, key=lambda b: (extents(b)[0], -extents(b)[1]))  # left column, lowest
        # The bare SHA2-256, then the line `sha256sum` writes for the file: the row of SHA2-256 says
        # why it is red, the others of another length say which algorithms have its length.
        digest = reference_digest(data, 4)
        for typed, sha256_words in ((digest, MATCHES), (digest + "  sample data.bin", DOES_NOT_MATCH + LIST_LINE)):
            expected.queryEditableText().setTextContents(typed)
            click(verify)
            message = answer_dialog(app, main_frame)
            assert message.rstrip().endswith("  0"), "end message should report 0 failures: %r" % message
            verdicts = {name: rows[name].description for name in ROW_NAMES}
            wanted = {name: DOES_NOT_MATCH + OF_A_256 for name in ROW_NAMES}
            wanted["SHA2 - 256"] = sha256_words
            wanted["SHA3 - 256"] = DOES_NOT_MATCH
            if verdicts != wanted:
                print("descriptions: %r\nexpected: %r" % (verdicts, wanted), file=sys.stderr)
                return 1
            print("the rows are described as %r (SHA2-256) and as not matching" % sha256_words)

        click(copy_all)
        answer_dialog(app, main_frame)
        clip = subprocess.run(["xclip", "-selection", "clipboard", "-o"], check=True, capture_output=True,
                              timeout=30).stdout.decode("utf-8")
        expected = "".join("%s: %s\n" % (LABELS[s], reference_digest(data, s)) for s in range(11))
        if clip != expected:
            print("clipboard:\n" + clip + "\nexpected:\n" + expected, file=sys.stderr)
            return 1
        print("all eleven lines on the CLIPBOARD match the reference tools")
        return 0
    finally:
        proc.kill()
        proc.wait()


if __name__ == "__main__":
    sys.exit(main())
