// Folding constants of the carry-less multiply CRC-32 kernels, derived at compile time from the polynomial.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crc32fold {

// The ISO-HDLC polynomial x^32 + x^26 + ... + 1 in normal (most significant term first) form,
// without the x^32 term; the reflected form is 0xEDB88320.
constexpr uint32_t Polynomial = 0x04C11DB7u;

// x^k mod P as a normal-form polynomial of degree below 32.
constexpr uint32_t xPowerModP(unsigned k) {
    uint32_t r = 1; // x^0
    for (unsigned i = 0; i < k; ++i)
        r = (r & 0x80000000u) ? (r << 1) ^ Polynomial : (r << 1);
    return r;
}

constexpr uint32_t reflect32(uint32_t v) {
    uint32_t r = 0;
    for (int i = 0; i < 32; ++i)
        r |= ((v >> i) & 1u) << (31 - i);
    return r;
}

// The multiplier that moves a 64-bit half of a reflected 128-bit lane forward by k - 32 bits.
// In the reflected domain a carry-less product of two 64-bit halves comes out one bit short of
// the 128-bit lane's frame and 32 more bits fall to the unused top: reflecting x^k mod P and
// shifting it left by one (a 33-bit value) lines the product up with the lane it is XORed into.
//
// A lane A (bytes in memory order) followed by D more bits of message is folded onto the lane D
// bits further on as  lowHalf(A) * c(D + 32)  ^  highHalf(A) * c(D - 32),  where the low half holds
// the earlier, higher-order message bits.
constexpr uint64_t foldConstant(unsigned k) {
    return uint64_t(reflect32(xPowerModP(k))) << 1;
}

// Constant pairs for a fold distance of D bits: {low half multiplier, high half multiplier}.
struct FoldPair {
    uint64_t low;
    uint64_t high;
};
constexpr FoldPair foldPair(unsigned distanceBits) {
    return FoldPair{foldConstant(distanceBits + 32), foldConstant(distanceBits - 32)};
}

} // namespace crc32fold
