#!/usr/bin/python3
# Small screens, from outside, by keyboard alone: the built program on an X server of its own at
# 800 x 480 (a 7-inch board display), 1024 x 600, and 1280 x 1024 with text at 1.5, where the window
# cannot be shown whole; at 1000 x 605 under a window manager, whose title bar leaves the window's
# exact size too little room; and at 1280 x 1024 with normal text, where it fits. On each: the window's size,
# every Copy button's name as a screen reader finds it, then Tab to Verify (it must come into view, whole
# and clear of the scroll bars),
# Return, the end message read and closed with Return, the focus back on Verify with the ticked row's
# algorithm name in view, and Tab on to the
# result, which must come into view holding the right digest; the About window opened from the menu's
# keys and closed with Escape, the focus back on the result.
# Usage: shell_small_screen_test.py PROGRAM   (needs a D-Bus session: scripts/with-xvfb.sh)
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile

import pyatspi

from calc_outside_test import descendants, extents, program_app, wait_for

# Screen, text scale, whether the window must take the whole screen (else it is 1000 x 605 at the
# scale), and whether a window manager runs (its frame then counts as part of the window).
SCREENS = [
    ((800, 480), 1.0, True, False),
    ((1024, 600), 1.0, True, False),
    ((1280, 1024), 1.5, True, False),
    ((1000, 605), 1.0, True, True),
    ((1280, 1024), 1.0, False, False),
]
ALGORITHMS = ["CRC32", "MD5", "SHA1", "SHA2-224", "SHA2-256", "SHA2-384", "SHA2-512",
              "SHA3-224", "SHA3-256", "SHA3-384", "SHA3-512"]
SETTINGS_KEYS = ["CRC32", "MD5", "SHA1", "SHA2224", "SHA2256", "SHA2384", "SHA2512",
                 "SHA3224", "SHA3256", "SHA3384", "SHA3512"]
TAB_LIMIT = 80  # more than every control of the window, twice


def start_x_server(width, height):
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (width, height),
                               "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        number = numbers.readline().strip()  # written once the server takes clients
    if not number:
        server.kill()
        raise AssertionError("Xvfb did not start")
    return server, ":" + number


def focused(root):
    for node in descendants(root):
        if node.getState().contains(pyatspi.STATE_FOCUSED):
            return node
    return None


def overlaps(a, b):
    return a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]


def in_view(node, main, width, height):
    """Whole on the screen, and under none of the window's scroll bars."""
    box = extents(node)
    x, y, w, h = box
    if x < 0 or y < 0 or x + w > width or y + h > height:
        return False
    bars = [extents(n) for n in descendants(main) if n.getRoleName() == "scroll bar"
            and n.getState().contains(pyatspi.STATE_SHOWING)]
    return not any(bar[2] > 1 and bar[3] > 1 and overlaps(box, bar) for bar in bars)


def toplevel_with_role(app, role):
    for child in app:
        if child is not None and child.getRoleName() == role and child.getState().contains(pyatspi.STATE_SHOWING):
            return child
    return None


def tab_until(display_env, main, wanted, what):
    """Presses Tab until `wanted(focused control)`, each press waiting for the focus to move."""
    current = focused(main)
    for _ in range(TAB_LIMIT):
        if current is not None and wanted(current):
            return current
        subprocess.run(["xdotool", "key", "Tab"], env=display_env, check=True)
        before = current
        current = wait_for("the focus to move on from %s" % (before.name if before else "nothing"),
                           lambda: (lambda now: now if now is not None and now != before else None)(focused(main)))
    raise AssertionError("Tab never reached " + what)


def start_window_manager(display_env):
    """Openbox, once it manages the screen (it names itself on the root window)."""
    manager = subprocess.Popen(["openbox"], env=display_env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for("the window manager", lambda: "window id" in subprocess.run(
        ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=display_env, capture_output=True, text=True).stdout)
    return manager


def run_case(program, root, size, scale, takes_screen, window_manager):
    width, height = size
    failures = []
    server, display = start_x_server(width, height)
    manager = None
    home = os.path.join(root, "home-%dx%d-%s" % (width, height, scale))
    config = os.path.join(home, ".Brightmoor", "Hashwarden")
    os.makedirs(config)
    with open(os.path.join(config, "Hashwarden.prefs"), "w", encoding="utf-8") as prefs:
        prefs.write("\ufeff\n; Hashwarden Preferences\n[Language]\nLanguage = en_GB\n[General]\n" + "".join(
            "%s = %d\n" % (key, 1 if key == "SHA2256" else 0) for key in SETTINGS_KEYS))
    data = os.path.join(root, "data.bin")
    env = dict(os.environ, DISPLAY=display, HOME=home, LC_ALL="C.UTF-8", GTK_A11Y="atspi", NO_AT_BRIDGE="0",
               GDK_DPI_SCALE=str(scale))
    env.pop("LANG", None)
    display_env = dict(os.environ, DISPLAY=display)
    if window_manager:
        manager = start_window_manager(display_env)
    proc = subprocess.Popen([program, data], env=env, stdin=subprocess.DEVNULL)
    try:
        app = wait_for("the program on the accessibility bus", lambda: program_app(proc.pid))
        main = wait_for("the main window", lambda: next(
            (f for f in app if f is not None and f.getRoleName() == "frame" and f.name.startswith("Hashwarden")), None))
        verify = wait_for("the Verify button", lambda: pyatspi.findDescendant(
            main, lambda n: n is not None and n.getRoleName() == "push button" and n.name == "Verify"))
        x, y, w, h = wait_for("the window laid out", lambda: (lambda e: e if e[2] > 1 else None)(extents(main)))
        expected_size = (width, height) if takes_screen else (round(1000 * scale), round(605 * scale))
        if window_manager:
            # The frame takes its part of the screen, known once the window is shown: the window is
            # then fitted inside what is left.
            def fits(box):
                return box[0] >= 0 and box[1] >= 0 and box[0] + box[2] <= width and box[1] + box[3] <= height
            try:
                wait_for("the window inside the screen", lambda: fits(extents(main)))
            except AssertionError:
                failures.append("window at %r does not fit the %dx%d screen" % (extents(main), width, height))
        elif (w, h) != expected_size:
            failures.append("window %dx%d, expected %dx%d" % (w, h, *expected_size))

        # A screen reader tells the eleven Copy buttons apart by the algorithm each copies.
        names = {n.name for n in descendants(main) if n.getRoleName() == "push button"}
        missing = ["Copy " + a for a in ALGORITHMS if "Copy " + a not in names]
        if missing:
            failures.append("no buttons named %r among %r" % (missing, sorted(names)))

        window = wait_for("the X window", lambda: subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--pid", str(proc.pid)], env=display_env,
            capture_output=True, text=True).stdout.split())[0]
        subprocess.run(["xdotool", "windowfocus", "--sync", window], env=display_env, check=True)

        # Keyboard alone: Tab to Verify, which comes into view, and press it.
        tab_until(display_env, main, lambda n: n.getRoleName() == "push button" and n.name == "Verify", "Verify")
        if not in_view(verify, main, width, height):
            failures.append("Verify focused but out of view at %r" % (extents(verify),))
        subprocess.run(["xdotool", "key", "Return"], env=display_env, check=True)
        try:
            message = wait_for("the end message", lambda: toplevel_with_role(app, "alert"))
        except AssertionError:
            now = focused(main)
            raise AssertionError("no end message; windows %r, focus on %r" % (
                [(w.getRoleName(), w.name, w.getState().contains(pyatspi.STATE_SHOWING)) for w in app if w is not None],
                (now.getRoleName(), now.name) if now is not None else None))
        text = " ".join(n.name for n in descendants(message) if n.getRoleName() == "label")
        if not text.startswith("The calculation has finished."):
            failures.append("end message %r" % text)
        if message.description != "Information":
            failures.append("end message described as %r" % message.description)
        subprocess.run(["xdotool", "key", "Return"], env=display_env, check=True)
        wait_for("the end message to close", lambda: toplevel_with_role(app, "alert") is None)
        wait_for("the focus back on Verify", lambda: verify.getState().contains(pyatspi.STATE_FOCUSED))
        # The results are what the user looks at now: the ticked row's algorithm name is in view.
        name = pyatspi.findDescendant(main, lambda n: n is not None and n.getRoleName() == "check box"
                                      and n.name == "SHA2 - 256")
        try:
            wait_for("the SHA2 - 256 row's name in view", lambda: in_view(name, main, width, height), timeout=5)
        except AssertionError:
            failures.append("after the job the row's name is out of view at %r" % (extents(name),))

        # Tab on to the SHA2-256 result: it comes into view and holds the digest.
        result = tab_until(display_env, main, lambda n: n.getRoleName() == "text" and n.name == "SHA2 - 256",
                           "the SHA2-256 result")
        if not in_view(result, main, width, height):
            failures.append("the result focused but out of view at %r" % (extents(result),))
        with open(data, "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        shown = result.queryText().getText(0, -1)
        if shown != digest:
            failures.append("result %r, expected %r" % (shown, digest))

        # The About window from the menu's keys, closed with Escape: the focus is back on the result.
        subprocess.run(["xdotool", "key", "alt+h", "a"], env=display_env, check=True)
        about = wait_for("the About window", lambda: toplevel_with_role(app, "dialog"))
        if about.name != "About Hashwarden":
            failures.append("About window named %r" % about.name)
        subprocess.run(["xdotool", "key", "Escape"], env=display_env, check=True)
        wait_for("the About window to close", lambda: toplevel_with_role(app, "dialog") is None)
        wait_for("the focus back on the result", lambda: result.getState().contains(pyatspi.STATE_FOCUSED))
    finally:
        proc.kill()
        proc.wait()
        if manager is not None:
            manager.kill()
            manager.wait()
        server.kill()
        server.wait()
    return ["%dx%d at %.1f%s: %s" % (width, height, scale, " with a window manager" if window_manager else "", f)
            for f in failures]


def main():
    program = os.path.abspath(sys.argv[1])
    root = tempfile.mkdtemp(prefix="hw-small-screen-")
    failures = []
    try:
        with open(os.path.join(root, "data.bin"), "wb") as f:
            f.write(b"small screens\n" * 1000)
        for size, scale, takes_screen, window_manager in SCREENS:
            failures += run_case(program, root, size, scale, takes_screen, window_manager)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    for failure in failures:
        print(failure, file=sys.stderr)
    if failures:
        return 1
    print("small screens: %d screens OK" % len(SCREENS))
    return 0


if __name__ == "__main__":
    sys.exit(main())
