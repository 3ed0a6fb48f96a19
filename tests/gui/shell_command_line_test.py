#!/usr/bin/python3
# The built program's command line: -h, --help and --version answer on the terminal with no display, no
# toolkit and no settings, and so does an unknown option, with status 2; "--" ends the options, so the
# word after it is the file whatever it looks like. File names on standard error are escaped. Usage: shell_command_line_test.py PROGRAM   (the window cases need DISPLAY and a D-Bus session:
# scripts/with-xvfb.sh)
import os
import shutil
import subprocess
import sys
import tempfile

import pyatspi

from calc_outside_test import program_app, wait_for

# The program's own lines on standard error; the toolkit's warnings, if any, are not the program's.
def own_lines(stderr):
    return [line for line in stderr.splitlines() if line.startswith("hashwarden:")]


TRY_HELP = "Try 'hashwarden --help' for more information.\n"

# Without a display: arguments, exit status, the first line of standard output, standard error.
TERMINAL_CASES = [
    (["--help"], 0, "Usage: hashwarden [GTK-OPTION...] [--] [FILE]", ""),
    (["-h"], 0, "Usage: hashwarden [GTK-OPTION...] [--] [FILE]", ""),
    # An option nobody knows: named (escaped) with the way to the help, status 2, no window, no settings.
    (["--bogus"], 2, "", "hashwarden: unknown option '--bogus'\n" + TRY_HELP),
    (["-x", "--help"], 2, "", "hashwarden: unknown option '-x'\n" + TRY_HELP),
    (["some file", "-q"], 2, "", "hashwarden: unknown option '-q'\n" + TRY_HELP),
    (["-\x1b[2J\n"], 2, "", "hashwarden: unknown option '-\\x1b[2J\\n'\n" + TRY_HELP),
    # GTK's options are not unknown, their value given after "=" or as the next word.
    (["--display", ":9999", "--class", "-x", "--version"], 0, "Hashwarden 1.0.0.0", ""),
    (["--version"], 0, "Hashwarden 1.0.0.0", ""),
    # Anywhere before "--": after GTK's options (an unusable display, never opened) and a file.
    (["--display=:9999", "some file", "--version"], 0, "Hashwarden 1.0.0.0", ""),
    (["--version", "--help"], 0, "Hashwarden 1.0.0.0", ""),
    # After "--" it is a file name: the toolkit starts, and there is no display to start on.
    (["--", "--help"], 1, "", "hashwarden: cannot open the display\n"),
    (["--", "-x"], 1, "", "hashwarden: cannot open the display\n"),
]

# With a display: arguments, the file the window's path field shows, and the program's lines on standard
# error. GTK drops a "--" that no option-like word follows and keeps the others. A file that cannot be
# taken is named on the terminal with the system's reason; the window opens all the same.
WINDOW_CASES = [
    (["--", "--help"], "--help", []),
    (["--", "--"], "--", []),
    (["--", "plain"], "plain", []),
    (["missing"], "", ["hashwarden: missing: No such file or directory"]),
    # A lone "-" is a file's name. Control characters in a name are escaped: one line, no command to
    # the terminal.
    (["-"], "", ["hashwarden: -: No such file or directory"]),
    (["two\nlines"], "", ["hashwarden: two\\nlines: No such file or directory"]),
    (["\x1b]0;title\x07\tx\\y"], "", ["hashwarden: \\x1b]0;title\\x07\\tx\\\\y: No such file or directory"]),
    (["folder"], "", ["hashwarden: folder: Is a directory"]),
    (["loop"], "", ["hashwarden: loop: Too many levels of symbolic links"]),
    # Not readable by the user; the path field takes it as it always did (Verify then reports the failure).
    (["locked"], "locked", ["hashwarden: locked: Permission denied"]),
]

# --help and --version that cannot be written: status 1 and the reason on standard error.
WRITE_ERROR_CASES = [
    (["--help"], "/dev/full", "hashwarden: write error: No space left on device"),
    (["--version"], "/dev/full", "hashwarden: write error: No space left on device"),
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
    # A full disk: the answer was not written, and the status and the terminal say so.
    for args, target, line in WRITE_ERROR_CASES:
        with open(target, "w") as out:
            done = subprocess.run([program, *args], env=env, stdout=out, stderr=subprocess.PIPE, text=True,
                                  timeout=60)
        if (done.returncode, own_lines(done.stderr)) != (1, [line]):
            failures.append("%r into %s: status %d, stderr %r" % (args, target, done.returncode, done.stderr))
    return failures


def path_field(app):
    return pyatspi.findDescendant(app, lambda a: a is not None and a.getRoleName() == "text" and a.name == "File")


def shown_window(pid):
    """The program's visible window, found by its process number without the accessibility bus."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)], capture_output=True,
                           text=True).stdout.split()
    return found[0] if found else None


def check_window_cases(program, home, work):
    env = dict(os.environ, HOME=home, LC_ALL="C.UTF-8", GTK_A11Y="atspi", NO_AT_BRIDGE="0")
    env.pop("LANG", None)  # English (UK): the path field is named "File"
    for name in ("--help", "--", "plain", "locked"):
        with open(os.path.join(work, name), "w") as f:
            f.write(name)
    os.mkdir(os.path.join(work, "folder"))
    os.symlink("loop", os.path.join(work, "loop"))
    os.chmod(os.path.join(work, "locked"), 0)
    # The superuser reads every file: the unreadable case runs as nobody, who has no place on this
    # session's accessibility bus, so its window is found through X instead.
    as_nobody = os.geteuid() == 0
    failures = []
    for args, shown, lines in WINDOW_CASES:
        command, case_env = [program, *args], env
        nobody = as_nobody and args == ["locked"]
        if nobody:
            command = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", *command]
            case_env = dict(env, HOME=os.path.join(os.path.dirname(home), "nobody"), NO_AT_BRIDGE="1")
        proc = subprocess.Popen(command, env=case_env, cwd=work, stdin=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                text=True)
        try:
            if nobody:
                wait_for("the window", lambda: shown_window(proc.pid) or proc.poll() is not None)
            else:
                app = wait_for("the program on the accessibility bus",
                               lambda: program_app(proc.pid) or proc.poll() is not None)
            if proc.poll() is not None:
                failures.append("%r: ended with status %d instead of showing the window" % (args, proc.returncode))
                continue
            if not nobody:
                # The window is shown only once complete, the start argument already in its field.
                text = wait_for("the path field", lambda: path_field(app)).queryText().getText(0, -1)
                if text != shown:
                    failures.append("%r: path field %r, expected %r" % (args, text, shown))
        finally:
            proc.kill()
            err = proc.communicate()[1]
        # The lines were written before the window was shown.
        if own_lines(err) != lines:
            failures.append("%r: stderr %r, expected the lines %r" % (args, err, lines))
    return failures


def main():
    program = os.path.abspath(sys.argv[1])
    root = tempfile.mkdtemp(prefix="hw-command-line-")
    try:
        home = os.path.join(root, "home")
        work = os.path.join(root, "work")
        os.mkdir(home)
        os.mkdir(work)
        os.mkdir(os.path.join(root, "nobody"))
        for folder in (root, work, os.path.join(root, "nobody")):
            os.chmod(folder, 0o777 if folder.endswith("nobody") else 0o755)
        failures = check_terminal_cases(program, home) + check_window_cases(program, home, work)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    for failure in failures:
        print(failure, file=sys.stderr)
    if failures:
        return 1
    print("command line: %d cases OK" % (len(TERMINAL_CASES) + len(WRITE_ERROR_CASES) + len(WINDOW_CASES)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
