#!/usr/bin/python3
"""The ARM program (armhf or arm64) from the package, under qemu-user on the test display: its window
comes up titled with its processor and with the texts of its language pack, three ticked algorithms
hash the file named on the command line to the reference digests, and File > Quit, answered Yes, ends
it with status 0.
Usage: arm_package_smoke.py armhf|arm64 QEMU PROGRAM   (needs DISPLAY and a D-Bus session:
scripts/with-xvfb.sh)"""
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import zlib

import pyatspi

# Emulated start-up of GTK is slow, but every wait below ends as soon as its event is seen.
DEADLINE_S = 240
TICKED = {"CRC32": "CRC32", "SHA2 - 256": "SHA2256", "SHA3 - 512": "SHA3512"}
# The processor the title names for each package's architecture.
TITLE_ARCHITECTURE = {"armhf": "arm32", "arm64": "arm64"}
SETTINGS_KEYS = ["CRC32", "MD5", "SHA1", "SHA2224", "SHA2256", "SHA2384", "SHA2512",
                 "SHA3224", "SHA3256", "SHA3384", "SHA3512"]


# The accessibility helpers of the window's own outside-in test, with the emulator's longer deadline.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gui"))
from calc_outside_test import descendants, program_app  # noqa: E402
from calc_outside_test import wait_for as wait_with_timeout  # noqa: E402


def wait_for(what, probe):
    return wait_with_timeout(what, probe, DEADLINE_S)


def find(root, role, name):
    return next((n for n in descendants(root) if n.getRoleName() == role and n.name == name), None)


def row_centre(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.y + box.height // 2


def showing_dialog(app, title):
    for frame in app:
        if frame is not None and frame.name == title and frame.getState().contains(pyatspi.STATE_SHOWING):
            return frame
    return None


def reference(name, data):
    if name == "CRC32":
        return "%08x" % (zlib.crc32(data) & 0xFFFFFFFF)
    return {"SHA2 - 256": hashlib.sha256, "SHA3 - 512": hashlib.sha3_512}[name](data).hexdigest()


def main():
    arch, qemu, program = sys.argv[1], sys.argv[2], sys.argv[3]
    title = "Hashwarden v1.0.0.0 (%s)" % TITLE_ARCHITECTURE[arch]
    home = tempfile.mkdtemp(prefix="hw-%s-home-" % arch)
    try:
        downloads = os.path.join(home, "Downloads")
        os.mkdir(downloads)
        path = os.path.join(downloads, "board-image.img")
        data = os.urandom(256 * 1024 + 3)
        with open(path, "wb") as f:
            f.write(data)
        settings = os.path.join(home, ".Brightmoor", "Hashwarden")
        os.makedirs(settings)
        with open(os.path.join(settings, "Hashwarden.prefs"), "w", encoding="utf-8") as f:
            f.write("\ufeff\n[Language]\nLanguage = en_GB\n[General]\n" + "".join(
                "%s = %d\n" % (key, key in TICKED.values()) for key in SETTINGS_KEYS))
        env = dict(os.environ, HOME=home, LC_ALL="C.UTF-8", GTK_A11Y="atspi", NO_AT_BRIDGE="0")
        env.pop("LANG", None)
        # The ARM libraries are installed multiarch, so the emulator's library root is /.
        proc = subprocess.Popen([qemu, "-L", "/", program, path], env=env)
        try:
            app = wait_for("the program on the accessibility bus", lambda: program_app(proc.pid))
            main_frame = wait_for("the main window", lambda: next(
                (f for f in app if f is not None and f.name.startswith(title)), None))
            # Texts from the en_GB pack beside the program: without it every caption would be empty.
            wait_for("the File menu", lambda: find(main_frame, "menu", "File"))
            verify = wait_for("the Verify button", lambda: find(main_frame, "push button", "Verify"))
            path_entry = wait_for("the path field", lambda: find(main_frame, "text", "File"))
            assert path_entry.queryText().getText(0, -1) == path, "the argument is in the path field"
            boxes = [n for n in descendants(main_frame) if n.getRoleName() == "check box"]
            ticked = sorted(b.name for b in boxes if b.getState().contains(pyatspi.STATE_CHECKED))
            assert ticked == sorted(TICKED), "ticked from the settings: %r" % ticked

            wait_for("Verify to be usable", lambda: verify.getState().contains(pyatspi.STATE_SENSITIVE))
            verify.queryAction().doAction(0)
            message = wait_for("the end message", lambda: showing_dialog(app, "Message"))
            assert find(message, "label", "The calculation has finished.\n\nFailed calculations:  0") is not None
            find(message, "push button", "OK").queryAction().doAction(0)
            wait_for("the end message to close", lambda: showing_dialog(app, "Message") is None)

            entries = [n for n in descendants(main_frame) if n.getRoleName() == "text"]
            for box in (b for b in boxes if b.name in TICKED):
                entry = next(e for e in entries if e != path_entry and abs(row_centre(e) - row_centre(box)) <= 3)
                got = entry.queryText().getText(0, -1)
                assert got == reference(box.name, data), "%s: %r" % (box.name, got)

            quit_item = wait_for("File > Quit", lambda: find(main_frame, "menu item", "Quit"))
            quit_item.queryAction().doAction(0)
            question = wait_for("the quit question", lambda: showing_dialog(app, "Message"))
            find(question, "push button", "Yes").queryAction().doAction(0)
            status = proc.wait(timeout=DEADLINE_S)
            assert status == 0, "exit status %d" % status
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        print("%s package: window, language pack, three digests and a clean quit under the emulator" % arch)
    finally:
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
