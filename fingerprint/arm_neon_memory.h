// Loads and stores of NEON registers that move their pointer on, for the 32-bit ARM kernels.
#pragma once

#include <arm_neon.h>

#include <cstdint>

// Internal linkage on purpose: the kernels that include this are compiled for different instruction
// sets, and one shared out-of-line copy could be taken by a file built for less.
namespace {

// GCC has no intrinsic for VLD1 of four D registers on 32-bit ARM and loads 16 bytes at a time, so
// each 64-byte block would cost two loads more than the instruction set needs. Any alignment.
inline uint8x16x2_t load32Bytes(const uint8_t*& data) {
    uint8x16x2_t bytes;
    __asm__("vld1.8 %h0, [%1]!"
            : "=w"(bytes), "+r"(data)
            : "m"(*reinterpret_cast<const uint8_t(*)[32]>(data)));
    return bytes;
}

// A 64-byte block as sixteen big-endian 32-bit words, four to a register, as SHA-1 and SHA-256 read it.
inline uint32x4x4_t loadBigEndianBlock(const uint8_t*& data) {
    const uint8x16x2_t low = load32Bytes(data);
    const uint8x16x2_t high = load32Bytes(data);
    return {{vreinterpretq_u32_u8(vrev32q_u8(low.val[0])), vreinterpretq_u32_u8(vrev32q_u8(low.val[1])),
             vreinterpretq_u32_u8(vrev32q_u8(high.val[0])), vreinterpretq_u32_u8(vrev32q_u8(high.val[1]))}};
}

// Sixteen bytes from a table read in order; GCC would compute each address apart (an add each).
inline uint32x4_t load16Bytes(const uint32_t*& data) {
    uint32x4_t words;
    __asm__("vld1.32 %h0, [%1]!"
            : "=w"(words), "+r"(data)
            : "m"(*reinterpret_cast<const uint32_t(*)[4]>(data)));
    return words;
}

// GCC computes the address of each store to a local array apart (an add, or a load of it from the
// stack once registers run short); the post-incremented store needs neither.
inline void store16Bytes(uint32_t*& out, uint32x4_t words) {
    __asm__("vst1.32 %h2, [%0]!" : "+r"(out), "=m"(*reinterpret_cast<uint32_t(*)[4]>(out)) : "w"(words));
}

} // namespace
