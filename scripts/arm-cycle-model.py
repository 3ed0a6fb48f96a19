#!/usr/bin/env python3
"""Cycles per byte that an ARM kernel would take on a Cortex-A57/A72 core (out of order) or, for 64-bit
code, a Cortex-A55 (in order), estimated from its real instruction stream with LLVM's scheduling models
(llvm-mca).

Usage: arm-cycle-model.py [--qemu QEMU] [--cpu QEMU_MODEL] [--mcpu LLVM_CPU] --bytes N -- PROGRAM [ARGS...]

Some argument of PROGRAM must be "{}": the tool runs PROGRAM twice under qemu-arm-static (default CPU
model cortex-a7, so the NEON paths are taken), or under the given qemu-user binary (qemu-aarch64-static
for a 64-bit program: AArch64 code, default CPU model max), with {} replaced by 1 and then by 2, and each run must
do one more pass over N bytes than the one before. Block chaining is off, so every executed translated
block is logged. The kernel's blocks are those that ran more instructions in the second run than in the
first (start-up runs the same in both). Their executions, in the order they ran, are disassembled again
with llvm-mc (LLVM syntax; Thumb or ARM as the encoding says) and handed to llvm-mca as one straight
line per run: branches stay as instructions and count as predicted, an IT instruction is left out and
the instructions it makes conditional are timed as plain ones; the AArch64 pointer authentication and
branch target hints (PACIASP, AUTIASP, BTI), which LLVM's A57 and A55 models do not list, are timed as
the NOPs that those cores execute them as. Prints one line:

    instructions/byte I cycles/byte C

where each figure is (second run - first run) / N.

This is a model, not a board: LLVM knows each instruction's latency and ports and the A57's
out-of-order window (it has no AArch32 model of the in-order Cortex-A7/A53; for AArch64 it has the
in-order Cortex-A55, --mcpu cortex-a55). Use it to compare kernels with each other, never as a board's
real speed. Loads are assumed not to alias stores.

Needs qemu-user-static, llvm (llvm-mc, llvm-mca) and the armhf or arm64 libraries (QEMU_LD_PREFIX=/).
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

# What the tool needs to know of each instruction set: llvm-mc's and llvm-mca's target and the extensions
# its disassembler and models must accept (every one the emulated CPU models may run).
AARCH32 = {"qemu": "qemu-arm-static", "cpu": "cortex-a7", "mattr": "+neon,+crc,+crypto"}
AARCH64 = {"qemu": "qemu-aarch64-static", "cpu": "max", "triple": "aarch64-linux-gnu",
           "mattr": "+neon,+crc,+crypto,+sha3,+v8.2a,+lse,+rcpc,+fullfp16,+dotprod"}
# The AArch64 hints that llvm-mca's models of the A57 and A55 reject; both cores execute them as NOPs.
AARCH64_HINT = re.compile(r"^(hint\b|paci[ab]sp|auti[ab]sp|pac[ib]a?z?sp|bti\b|xpaclri)")
# The ARMv8.1 atomics (LSE), which the libraries use under -cpu max and those models reject: each is timed
# as the load (or, for the ST forms, the store) it makes, the width kept.
LSE_LOAD = re.compile(r"^(?:ld(?:add|clr|eor|set|smax|smin|umax|umin)|swp)(?:al|a|l)?([bh]?) (\w+), (\w+), (\[\w+\])$")
LSE_STORE = re.compile(r"^st(?:add|clr|eor|set|smax|smin|umax|umin)l?([bh]?) (\w+), (\[\w+\])$")
LSE_CAS = re.compile(r"^cas(?:al|a|l)?([bh]?) (\w+), (\w+), (\[\w+\])$")


def modelled_a64(instruction):
    """The instruction as the A57 and A55 models are given it (see AARCH64_HINT and LSE_*)."""
    if AARCH64_HINT.match(instruction):
        return "nop"
    m = LSE_LOAD.match(instruction)
    if m:
        return "ldr%s %s, %s" % (m.group(1), m.group(3), m.group(4))
    m = LSE_STORE.match(instruction)
    if m:
        return "str%s %s, %s" % (m.group(1), m.group(2), m.group(3))
    m = LSE_CAS.match(instruction)
    if m:
        return "ldr%s %s, %s" % (m.group(1), m.group(2), m.group(4))
    return instruction

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


def trace(qemu_cpu, argv, qemu="qemu-arm-static"):
    """Runs the program under qemu and reads its log."""
    workdir = tempfile.mkdtemp(prefix="arm-cycle-model.")
    log = os.path.join(workdir, "qemu.log")
    env = dict(os.environ)
    env.setdefault("QEMU_LD_PREFIX", "/")
    env.pop("QEMU_CPU", None)
    try:
        run = subprocess.run([qemu, "-cpu", qemu_cpu, "-d", "in_asm,exec,nochain", "-D", log] + argv,
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


def disassemble(encodings, target=AARCH32):
    """{encoding: LLVM text or None}, one llvm-mc call per instruction set."""
    if target is AARCH64:
        return disassemble_a64(encodings)
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
                              "-mattr=" + AARCH32["mattr"]], input=source, capture_output=True, text=True)
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


def disassemble_a64(encodings):
    """{encoding: LLVM text} of AArch64 instructions, as the models are given them (modelled_a64)."""
    group = sorted(encodings)
    source = " ".join("0x%02x" % b for e in group for b in to_bytes(e))
    dis = subprocess.run([tool("llvm-mc"), "--disassemble", "--show-encoding", "-triple=" + AARCH64["triple"],
                          "-mattr=" + AARCH64["mattr"]], input=source, capture_output=True, text=True)
    by_bytes = {}
    for line in dis.stdout.splitlines():
        m = re.match(r"^\t(.*?)\s*// encoding: \[([^\]]*)\]", line)
        if m:
            key = tuple(int(b, 16) for b in m.group(2).split(","))
            by_bytes[key] = modelled_a64(re.sub(r"\s+", " ", m.group(1)))
    text = {}
    for e in group:
        t = by_bytes.get(tuple(to_bytes(e)))
        if t is None:
            sys.exit("arm-cycle-model: llvm-mc cannot disassemble %s" % e)
        text[e] = t
    return text


def cycles(run, kernel, text, mcpu, target=AARCH32):
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
                if target is AARCH32 and thumb != mode:
                    f.write(".thumb\n" if thumb else ".arm\n")
                    mode = thumb
                t = text[e]
                if t is not None:
                    f.write(t + "\n")
                    count += 1
    try:
        if target is AARCH64:
            triple = ["-mtriple=" + AARCH64["triple"], "-mattr=" + AARCH64["mattr"]]
        else:
            triple = ["-mtriple=thumbv8a-linux-gnueabihf"]
        mca = subprocess.run([tool("llvm-mca")] + triple + ["-mcpu=" + mcpu, "-iterations=1", source],
                             capture_output=True, text=True)
    finally:
        os.remove(source)
    m = re.search(r"Total Cycles:\s+(\d+)", mca.stdout)
    if not m:
        sys.exit("arm-cycle-model: llvm-mca failed:\n" + mca.stderr[-2000:])
    return count, int(m.group(1))


def main(args):
    qemu, qemu_cpu, mcpu, nbytes = None, None, "cortex-a57", None
    while args and args[0] in ("--qemu", "--cpu", "--mcpu", "--bytes") and len(args) > 1:
        flag, value, args = args[0], args[1], args[2:]
        if flag == "--qemu":
            qemu = value
        elif flag == "--cpu":
            qemu_cpu = value
        elif flag == "--mcpu":
            mcpu = value
        else:
            nbytes = int(value)
    target = AARCH64 if qemu is not None and "aarch64" in os.path.basename(qemu) else AARCH32
    qemu = qemu or target["qemu"]
    qemu_cpu = qemu_cpu or target["cpu"]
    if args[:1] == ["--"]:
        args = args[1:]
    if not args or nbytes is None or "{}" not in args:
        sys.exit(__doc__)
    first = trace(qemu_cpu, [a.replace("{}", "1") for a in args], qemu)
    second = trace(qemu_cpu, [a.replace("{}", "2") for a in args], qemu)
    kernel = kernel_blocks(first, second)
    text = disassemble({e for pc in kernel for e in second[0][pc]}, target)
    i1, c1 = cycles(first, kernel, text, mcpu, target)
    i2, c2 = cycles(second, kernel, text, mcpu, target)
    print("instructions/byte %.3f cycles/byte %.3f" % ((i2 - i1) / nbytes, (c2 - c1) / nbytes))


if __name__ == "__main__":
    main(sys.argv[1:])
