#!/usr/bin/env python3
"""Cycles per byte that a 32-bit ARM kernel would take on an out-of-order Cortex-A57/A72 core,
estimated from its real instruction stream with LLVM's scheduling model (llvm-mca).

Usage: arm-cycle-model.py [--cpu QEMU_MODEL] [--mcpu LLVM_CPU] --bytes N -- PROGRAM [ARGS...]

Some argument of PROGRAM must be "{}": the tool runs PROGRAM twice under qemu-arm-static (default CPU
model cortex-a7, so the NEON paths are taken), with {} replaced by 1 and then by 2, and each run must
do one more pass over N bytes than the one before. Block chaining is off, so every executed translated
block is logged. The kernel's blocks are those that ran more instructions in the second run than in the
first (start-up runs the same in both). Their executions, in the order they ran, are disassembled again
with llvm-mc (LLVM syntax; Thumb or ARM as the encoding says) and handed to llvm-mca as one straight
line per run: branches stay as instructions and count as predicted, an IT instruction is left out and
the instructions it makes conditional are timed as plain ones. Prints one line:

    instructions/byte I cycles/byte C

where each figure is (second run - first run) / N.

This is a model, not a board: LLVM knows each instruction's latency and ports and the A57's
out-of-order window (it has no AArch32 model of the in-order Cortex-A7/A53). Use it to compare
kernels with each other, never as a board's real speed. Loads are assumed not to alias stores.

Needs qemu-user-static, llvm (llvm-mc, llvm-mca) and the armhf libraries (QEMU_LD_PREFIX=/).
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

LISTING = re.compile(r"^0x([0-9a-f]+):\s+([0-9a-f]{4}(?: [0-9a-f]{4})?|[0-9a-f]{8})\s")
EXECUTION = re.compile(r"^Trace \d+: 0x[0-9a-f]+ \[[0-9a-f]+/([0-9a-f]+)/")


def tool(name):
    for candidate in (name, name + "-14", name + "-15", name + "-16"):
        if shutil.which(candidate):
            return candidate
    sys.exit("arm-cycle-model: %s not found (scripts/setup.sh --tests installs llvm)" % name)


def read_log(lines):
    """({block start: [encodings] as last translated}, [block starts in the order they ran]) of a qemu log."""
    blocks, order, current = {}, [], None
    for line in lines:
        if line.startswith("IN:"):
            current = None
            continue
        m = LISTING.match(line)
        if m:
            encoding = m.group(2)
            if current is None:
                current = int(m.group(1), 16)
                blocks[current] = []
            elif len(blocks[current][-1]) == 4 and int(blocks[current][-1], 16) >> 11 in (0x1D, 0x1E, 0x1F):
                # qemu's disassembler lists some 32-bit Thumb instructions it cannot decode (NEON ones
                # among them) as two lone halfwords; the first says that the second belongs to it.
                blocks[current][-1] += " " + encoding
                continue
            blocks[current].append(encoding)
            continue
        m = EXECUTION.match(line)
        if m:
            current = None
            pc = int(m.group(1), 16)
            if pc in blocks:
                order.append(pc)
    return blocks, order


def trace(qemu_cpu, argv):
    """Runs the program under qemu and reads its log."""
    workdir = tempfile.mkdtemp(prefix="arm-cycle-model.")
    log = os.path.join(workdir, "qemu.log")
    env = dict(os.environ)
    env.setdefault("QEMU_LD_PREFIX", "/")
    env.pop("QEMU_CPU", None)
    try:
        run = subprocess.run(["qemu-arm-static", "-cpu", qemu_cpu, "-d", "in_asm,exec,nochain", "-D", log] + argv,
                             env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if run.returncode != 0:
            sys.stderr.write(run.stderr.decode(errors="replace"))
            sys.exit("arm-cycle-model: the program failed under qemu")
        with open(log, errors="replace") as f:
            return read_log(f)
    finally:
        shutil.rmtree(workdir, ignore_errors=True)


def weights(blocks, order):
    w = {}
    for pc in order:
        w[pc] = w.get(pc, 0) + len(blocks[pc])
    return w


def kernel_blocks(first, second):
    """Blocks that ran more instructions in the second run than in the first, translated alike in both."""
    (b1, o1), (b2, o2) = first, second
    w1, w2 = weights(b1, o1), weights(b2, o2)
    return {pc for pc in w2 if w2[pc] > w1.get(pc, 0) and b1.get(pc, b2[pc]) == b2[pc]}


def to_bytes(encoding):
    """Memory bytes of an instruction as qemu lists it: ARM "e0800001", Thumb "4408" or "f85d 4b04"."""
    out = []
    for half in encoding.split(" ") if len(encoding) != 8 else [encoding]:
        value = int(half, 16)
        out += [value & 0xFF, (value >> 8) & 0xFF] + ([(value >> 16) & 0xFF, value >> 24] if len(half) == 8 else [])
    return out


def disassemble(encodings):
    """{encoding: LLVM text or None}, one llvm-mc call per instruction set."""
    text = {}
    # IT instructions are left out (see the usage); in the one stream below an IT would also make
    # llvm-mc read the instructions after it as conditional, where a branch cannot be.
    is_it = lambda e: len(e) == 4 and (int(e, 16) & 0xFF00) == 0xBF00 and int(e, 16) & 0xF != 0
    for e in encodings:
        if is_it(e):
            text[e] = None
    encodings = [e for e in encodings if not is_it(e)]
    for thumb in (True, False):
        group = sorted(e for e in encodings if (len(e) != 8) == thumb)
        if not group:
            continue
        triple = "thumbv8a-linux-gnueabihf" if thumb else "armv8a-linux-gnueabihf"
        source = " ".join("0x%02x" % b for e in group for b in to_bytes(e))
        dis = subprocess.run([tool("llvm-mc"), "--disassemble", "--show-encoding", "-triple=" + triple,
                              "-mattr=+neon,+crc,+crypto"], input=source, capture_output=True, text=True)
        by_bytes = {}
        for line in dis.stdout.splitlines():
            m = re.match(r"^\t(.*?)\s*@ encoding: \[([^\]]*)\]", line)
            if m:
                key = tuple(int(b, 16) for b in m.group(2).split(","))
                by_bytes[key] = m.group(1).replace("\t", " ")
        for e in group:
            t = by_bytes.get(tuple(to_bytes(e)))
            # An instruction left out would make the kernel look faster than it is.
            if t is None:
                sys.exit("arm-cycle-model: llvm-mc cannot disassemble %s" % e)
            text[e] = t
    return text


def cycles(run, kernel, text, mcpu):
    """(instructions, llvm-mca's total cycles) of the kernel's blocks in the order they ran."""
    blocks, order = run
    fd, source = tempfile.mkstemp(prefix="arm-cycle-model.", suffix=".s")
    count = 0
    with os.fdopen(fd, "w") as f:
        mode = None
        for pc in order:
            if pc not in kernel:
                continue
            for e in blocks[pc]:
                thumb = len(e) != 8
                if thumb != mode:
                    f.write(".thumb\n" if thumb else ".arm\n")
                    mode = thumb
                t = text[e]
                if t is not None:
                    f.write(t + "\n")
                    count += 1
    try:
        mca = subprocess.run([tool("llvm-mca"), "-mtriple=thumbv8a-linux-gnueabihf", "-mcpu=" + mcpu,
                              "-iterations=1", source], capture_output=True, text=True)
    finally:
        os.remove(source)
    m = re.search(r"Total Cycles:\s+(\d+)", mca.stdout)
    if not m:
        sys.exit("arm-cycle-model: llvm-mca failed:\n" + mca.stderr[-2000:])
    return count, int(m.group(1))


def main(args):
    qemu_cpu, mcpu, nbytes = "cortex-a7", "cortex-a57", None
    while args and args[0] in ("--cpu", "--mcpu", "--bytes") and len(args) > 1:
        flag, value, args = args[0], args[1], args[2:]
        if flag == "--cpu":
            qemu_cpu = value
        elif flag == "--mcpu":
            mcpu = value
        else:
            nbytes = int(value)
    if args[:1] == ["--"]:
        args = args[1:]
    if not args or nbytes is None or "{}" not in args:
        sys.exit(__doc__)
    first = trace(qemu_cpu, [a.replace("{}", "1") for a in args])
    second = trace(qemu_cpu, [a.replace("{}", "2") for a in args])
    kernel = kernel_blocks(first, second)
    text = disassemble({e for pc in kernel for e in second[0][pc]})
    i1, c1 = cycles(first, kernel, text, mcpu)
    i2, c2 = cycles(second, kernel, text, mcpu)
    print("instructions/byte %.3f cycles/byte %.3f" % ((i2 - i1) / nbytes, (c2 - c1) / nbytes))


if __name__ == "__main__":
    main(sys.argv[1:])
