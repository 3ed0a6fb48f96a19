#!/usr/bin/env python3
"""The log reading of scripts/arm-insn-count.py, on logs written as qemu-user writes them."""
import importlib.util
import io
import os
import sys
import unittest

sys.dont_write_bytecode = True  # no __pycache__ beside the script in the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
found = importlib.util.spec_from_file_location("arm_insn_count",
                                               os.path.join(HERE, "..", "..", "scripts", "arm-insn-count.py"))
counter = importlib.util.module_from_spec(found)
found.loader.exec_module(counter)


def block(address, *instructions):
    lines = ["IN: "]
    for i, text in enumerate(instructions):
        lines.append("0x%08x:  e0800001  %s" % (address + 4 * i, text))
    return "\n".join(lines) + "\n\n"


def run(address):
    return "Trace 0: 0x7f787a8000c0 [00000480/%08x/00000000/00000200] \n" % address


# qemu-aarch64 lists 64-bit addresses and writes wider fields in its trace lines.
def block64(address, *instructions):
    lines = ["IN: "]
    for i, text in enumerate(instructions):
        lines.append("0x%010x:  d503201f  %s" % (address + 4 * i, text))
    return "\n".join(lines) + "\n\n"


def run64(address):
    return "Trace 0: 0x7f8e18000240 [0000000001009331/%016x/00000001/00000200] \n" % address


class CountLog(unittest.TestCase):
    # (what the log holds, instructions executed, executions of blocks never listed)
    CASES = [
        ("a block run three times", block(0x1000, "add r0, r0, r1", "bx lr") + run(0x1000) * 3, 6, 0),
        ("two blocks, each run after its listing and one again later",
         block(0x1000, "mov r0, #1") + run(0x1000) + block(0x2000, "add", "add", "add") + run(0x2000) * 2 +
         run(0x1000), 8, 0),
        ("a block translated again with another length counts as it was when it ran",
         block(0x1000, "a", "b") + run(0x1000) + block(0x1000, "a", "b", "c", "d") + run(0x1000), 6, 0),
        ("a run of a block that was never listed is reported, not guessed", block(0x1000, "a") + run(0x3000),
         0, 1),
        ("lines that are neither listing nor trace change nothing",
         "qemu: some note\n" + block(0x1000, "a") + "----------------\n" + run(0x1000), 1, 0),
        ("AArch64 blocks above 4 GiB, each address its own block",
         block64(0x5502858850, "stp", "adrp", "add") + block64(0x5502858854, "adrp", "add") + run64(0x5502858850) * 2 +
         run64(0x5502858854) + run64(0x5502858850 + (1 << 32)), 8, 1),
    ]

    def test_counts(self):
        for name, log, instructions, unlisted in self.CASES:
            with self.subTest(name):
                self.assertEqual(counter.count_log(io.BytesIO(log.encode())), (instructions, unlisted))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=1)
