#!/usr/bin/python3
# The built program's command line: --help and --version answer on the terminal with no display, no
# toolkit and no settings; "--" ends the options, so the word after it is the file whatever it looks
# like. Usage: shell_command_line_test.py PROGRAM   (the window cases need DISPLAY and a D-Bus session:
# scripts/with-xvfb.sh)
import os
import shutil
import subprocess
import sys
import tempfile

import pyatspi

from calc_outside_test import program_app, wait_for

# Without a display: arguments, exit status, the first line of standard output, standard error.
TERMINAL_CASES = [
    (["--help"], 0, "Usage: hashwarden [GTK-OPTION...] [--] [FILE]", ""),
    (["--version"], 0, "Hashwarden 1.0.0.0", ""),
    # Anywhere before "--": after GTK's options (an unusable display, never opened) and a file.
    (["--display=:9999", "some file", "--version"], 0, "Hashwarden 1.0.0.0", ""),
    (["--version", "--help"], 0, "Hashwarden 1.0.0.0", ""),
    # After "--" it is a file name: the toolkit starts, and there is no display to start on.
    (["--", "--help"], 1, "", "hashwarden: cannot open the display\n"),
]

# With a display: arguments, and the file the window's path field shows (all exist in the working
# folder). GTK drops a "--" that no option-like word follows and keeps the others.
WINDOW_CASES = [
    (["--", "--help"], "--help"),
    (["--", "--"], "--"),
    (["--", "plain"], "plain"),
]


def check_terminal_cases(program, home):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.update(HOME=home, LC_ALL="C.UTF-8")
    failures = []
    for args, status, first_line, err in TERMINAL_CASES:
        done = subprocess.run([program, *args], env=env, capture_output=True, text=True, timeout=60)
        if (done.returncode, done.stdout.split("\n")[0], done.stderr) != (status, first_line, err):
            failures.append("%r: status %d, stdout %r, stderr %r" % (args, done.returncode, done.stdout[:80],
                                                                    done.stderr))
        # The settings folder is made at start when missing: an empty home shows no settings were read.
        if os.listdir(home):
            failures.append("%r: left %r in the home folder" % (args, os.listdir(home)))
    # A full disk: the answer was not written, and the status says so.
    with open("/dev/full", "w") as full:
        if subprocess.run([program, "--help"], env=env, stdout=full, timeout=60).returncode == 0:
            failures.append("--help into /dev/full: status 0")
    return failures


def path_field(app):
    return pyatspi.findDescendant(app, lambda a: a is not None and a.getRoleName() == "text" and a.name == "File")


def check_window_cases(program, home, work):
    env = dict(os.environ, HOME=home, LC_ALL="C.UTF-8", GTK_A11Y="atspi", NO_AT_BRIDGE="0")
    env.pop("LANG", None)  # English (UK): the path field is named "File"
    for name in ("--help", "--", "plain"):
        with open(os.path.join(work, name), "w") as f:
            f.write(name)
    failures = []
    for args, shown in WINDOW_CASES:
        proc = subprocess.Popen([program, *args], env=env, cwd=work, stdin=subprocess.DEVNULL)
        try:
            app = wait_for("the program on the accessibility bus",
                           lambda: program_app(proc.pid) or proc.poll() is not None)
            if proc.poll() is not None:
                failures.append("%r: ended with status %d instead of showing the window" % (args, proc.returncode))
                continue
            # The window is shown only once complete, the start argument already in its field.
            text = wait_for("the path field", lambda: path_field(app)).queryText().getText(0, -1)
            if text != shown:
                failures.append("%r: path field %r, expected %r" % (args, text, shown))
        finally:
            proc.kill()
            proc.wait()
    return failures


def main():
    program = os.path.abspath(sys.argv[1])
    root = tempfile.mkdtemp(prefix="hw-command-line-")
    try:
        home = os.path.join(root, "home")
        work = os.path.join(root, "work")
        os.mkdir(home)
        os.mkdir(work)
        failures = check_terminal_cases(program, home) + check_window_cases(program, home, work)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    for failure in failures:
        print(failure, file=sys.stderr)
    if failures:
        return 1
    print("command line: %d cases OK" % (len(TERMINAL_CASES) + 1 + len(WINDOW_CASES)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
