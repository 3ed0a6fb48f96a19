#!/usr/bin/env python3
"""scripts/arm-cycle-model.py: its reading of qemu-user's log, its choice of the kernel's blocks, and its
timing of an instruction stream with llvm-mca."""
import importlib.util
import os
import sys
import unittest

sys.dont_write_bytecode = True  # no __pycache__ beside the script in the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
found = importlib.util.spec_from_file_location("arm_cycle_model",
                                               os.path.join(HERE, "..", "..", "scripts", "arm-cycle-model.py"))
model = importlib.util.module_from_spec(found)
found.loader.exec_module(model)


def block(address, *encodings):
    lines = ["IN: "]
    for i, encoding in enumerate(encodings):
        lines.append("0x%08x:  %s  some text" % (address + 4 * i, encoding))
    return lines + [""]


def run(address):
    return ["Trace 0: 0x7f787a8000c0 [00000480/%08x/00000000/00000200] " % address]


ADD = "e0800001"    # add r0, r0, r1 (ARM)
THUMB = "4408"      # add r0, r1 (Thumb, 16 bits)
THUMB32 = "f85d 4b04"  # ldr r4, [sp], #4 (Thumb-2, two halfwords)


class ReadLog(unittest.TestCase):
    def test_blocks_and_order(self):
        log = block(0x1000, ADD, ADD) + run(0x1000) + block(0x2000, THUMB, THUMB32) + run(0x2000) + run(0x1000)
        blocks, order = model.read_log(log)
        self.assertEqual(blocks, {0x1000: [ADD, ADD], 0x2000: [THUMB, THUMB32]})
        self.assertEqual(order, [0x1000, 0x2000, 0x1000])

    def test_runs_of_unlisted_blocks_are_left_out(self):
        blocks, order = model.read_log(block(0x1000, ADD) + run(0x3000) + run(0x1000))
        self.assertEqual(order, [0x1000])


def block64(address, *encodings):
    lines = ["IN: "]
    for i, encoding in enumerate(encodings):
        lines.append("0x%010x:  %s  some text" % (address + 4 * i, encoding))
    return lines + [""]


def run64(address):
    return ["Trace 0: 0x7f8e18000240 [0000000001009331/%016x/00000001/00000200] " % address]


MUL_CHAINED = "9b017c00"      # mul x0, x0, x1 (AArch64)
MUL_INDEPENDENT = "9b017c62"  # mul x2, x3, x1


class ReadLog64(unittest.TestCase):
    def test_addresses_above_4_gib_stay_apart(self):
        log = block64(0x5502858850, MUL_CHAINED) + block64(0x5502858850 + (1 << 32), MUL_INDEPENDENT) + \
            run64(0x5502858850) + run64(0x5502858850 + (1 << 32)) * 2
        blocks, order = model.read_log(log)
        self.assertEqual(blocks[0x5502858850], [MUL_CHAINED])
        self.assertEqual(order, [0x5502858850] + [0x5502858850 + (1 << 32)] * 2)


class KernelBlocks(unittest.TestCase):
    def test_only_blocks_whose_work_grows(self):
        start = block(0x1000, ADD)
        loop = block(0x2000, ADD, ADD)
        first = model.read_log(start + run(0x1000) + loop + run(0x2000))
        second = model.read_log(start + run(0x1000) + loop + run(0x2000) * 2)
        self.assertEqual(model.kernel_blocks(first, second), {0x2000})

    def test_a_block_translated_differently_in_the_runs_is_not_the_kernels(self):
        first = model.read_log(block(0x2000, ADD) + run(0x2000))
        second = model.read_log(block(0x2000, ADD, ADD) + run(0x2000) * 2)
        self.assertEqual(model.kernel_blocks(first, second), set())


class Encodings(unittest.TestCase):
    def test_bytes_in_memory_order(self):
        self.assertEqual(model.to_bytes(ADD), [0x01, 0x00, 0x80, 0xE0])
        self.assertEqual(model.to_bytes(THUMB), [0x08, 0x44])
        self.assertEqual(model.to_bytes(THUMB32), [0x5D, 0xF8, 0x04, 0x4B])


class Timing(unittest.TestCase):
    # A chain of 64 multiplications, each waiting for the one before, against 64 independent ones: the
    # model must see the dependencies, or it would time every kernel by its instruction count alone.
    def test_a_dependency_chain_takes_longer_than_independent_work(self):
        chained = "e0000190"      # mul r0, r0, r1
        independent = "e0020193"  # mul r2, r3, r1
        text = model.disassemble({chained, independent})
        self.assertEqual(text[chained], "mul r0, r0, r1")
        times = {}
        for encoding in (chained, independent):
            log = block(0x1000, *([encoding] * 64)) + run(0x1000)
            count, cycles = model.cycles(model.read_log(log), {0x1000}, text, "cortex-a57")
            self.assertEqual(count, 64)
            times[encoding] = cycles
        self.assertGreater(times[chained], 2 * times[independent])


class Modelled64(unittest.TestCase):
    # Instructions that LLVM's A57 and A55 models reject, as they are timed instead; the rest unchanged.
    CASES = [
        ("paciasp", "nop"), ("autiasp", "nop"), ("bti c", "nop"), ("hint #34", "nop"),
        ("ldadd w0, w0, [x1]", "ldr w0, [x1]"), ("ldaddal x2, x3, [x4]", "ldr x3, [x4]"),
        ("swpalb w1, w2, [x0]", "ldrb w2, [x0]"), ("stadd w0, [x1]", "str w0, [x1]"),
        ("stsetlh w5, [x6]", "strh w5, [x6]"), ("casal w1, w2, [x3]", "ldr w1, [x3]"),
        ("ldr x0, [x1]", "ldr x0, [x1]"), ("eor3 v0.16b, v1.16b, v2.16b, v3.16b", "eor3 v0.16b, v1.16b, v2.16b, v3.16b"),
        ("bic x0, x1, x2, ror #3", "bic x0, x1, x2, ror #3"),
    ]

    def test_each(self):
        for given, timed in self.CASES:
            with self.subTest(given):
                self.assertEqual(model.modelled_a64(given), timed)

    def test_the_disassembler_hands_them_over_so(self):
        paciasp, ldadd = "d503233f", "b8200020"
        text = model.disassemble({paciasp, ldadd, MUL_CHAINED}, model.AARCH64)
        self.assertEqual(text, {paciasp: "nop", ldadd: "ldr w0, [x1]", MUL_CHAINED: "mul x0, x0, x1"})


class Timing64(unittest.TestCase):
    # As Timing, on both AArch64 models: the in-order one as well must see the chain.
    def test_a_dependency_chain_takes_longer_than_independent_work(self):
        text = model.disassemble({MUL_CHAINED, MUL_INDEPENDENT}, model.AARCH64)
        for mcpu in ("cortex-a57", "cortex-a55"):
            times = {}
            for encoding in (MUL_CHAINED, MUL_INDEPENDENT):
                log = block64(0x5500001000, *([encoding] * 64)) + run64(0x5500001000)
                count, cycles = model.cycles(model.read_log(log), {0x5500001000}, text, mcpu, model.AARCH64)
                self.assertEqual(count, 64)
                times[encoding] = cycles
            self.assertGreater(times[MUL_CHAINED], 2 * times[MUL_INDEPENDENT], mcpu)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=1)
