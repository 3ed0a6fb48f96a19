#!/usr/bin/env python3
"""Counts the instructions an ARM Linux program executes under qemu-user.

Usage: arm-insn-count.py --cpu MODEL [--qemu QEMU] -- PROGRAM [ARGS...]

Prints the count on its first line, then the program's own output. The program runs under
qemu-arm-static (or QEMU: qemu-aarch64-static for a 64-bit program) with block chaining off, so the emulator logs every translated block (its
instructions, after "IN:") and every execution of a block ("Trace ...: HOST [FLAGS/PC/...]"); the
count is the sum over executions of the executed block's length. The log goes through a named pipe
and is read while the program runs, so no log file grows on disk. The armhf libraries come from the
multiarch install (QEMU_LD_PREFIX=/), as on a board, and so do the arm64 ones.
"""
import os
import re
import subprocess
import sys
import tempfile
import threading

LISTED = re.compile(rb"^0x([0-9a-f]+):\s")
EXECUTED = re.compile(rb"^Trace \d+: 0x[0-9a-f]+ \[[0-9a-f]+/([0-9a-f]+)/")


def count_log(stream):
    """Instructions executed according to the log read from `stream`, and executions of unlisted blocks."""
    length = {}  # start address of a block -> its instructions, as last translated
    block = None  # start address of the block being listed, None outside a listing
    total = unlisted = 0
    for line in stream:
        if line.startswith(b"Trace "):
            block = None
            m = EXECUTED.match(line)
            if m:
                size = length.get(int(m.group(1), 16))
                if size is None:
                    unlisted += 1
                else:
                    total += size
        elif line.startswith(b"IN:"):
            block = None
        else:
            m = LISTED.match(line)
            if m:
                if block is None:
                    block = int(m.group(1), 16)
                    length[block] = 0
                length[block] += 1
    return total, unlisted


def main(argv):
    cpu, qemu = None, "qemu-arm-static"
    while argv[:1] in (["--cpu"], ["--qemu"]) and len(argv) > 1:
        if argv[0] == "--cpu":
            cpu = argv[1]
        else:
            qemu = argv[1]
        argv = argv[2:]
    if argv[:1] == ["--"]:
        argv = argv[1:]
    if cpu is None or not argv:
        sys.exit(__doc__)

    folder = tempfile.mkdtemp(prefix="arm-insn-count.")
    pipe = os.path.join(folder, "log")
    os.mkfifo(pipe)
    # The pipe is open at both ends before the emulator starts: the emulator's open does not wait,
    # and the reader sees the end of the log only once this end is closed after the emulator is gone.
    log = os.open(pipe, os.O_RDONLY | os.O_NONBLOCK)
    hold = os.open(pipe, os.O_WRONLY)
    os.set_blocking(log, True)
    result = {}

    def reader():
        with open(log, "rb", buffering=1 << 20) as stream:
            result["count"] = count_log(stream)

    thread = threading.Thread(target=reader)
    thread.start()
    env = dict(os.environ, QEMU_LD_PREFIX="/")
    env.pop("QEMU_CPU", None)
    try:
        run = subprocess.run([qemu, "-cpu", cpu, "-d", "in_asm,exec,nochain", "-D", pipe] + argv,
                             env=env, stdout=subprocess.PIPE)
    finally:
        os.close(hold)
        thread.join()
        os.remove(pipe)
        os.rmdir(folder)
    total, unlisted = result["count"]
    if unlisted:
        sys.stderr.write("arm-insn-count: %d block executions had no listing\n" % unlisted)
    print(total)
    sys.stdout.write(run.stdout.decode(errors="replace"))
    return run.returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
