// CRC-32 on 32-bit ARM with the ARMv8 PMULL instruction: whole 16-byte lanes folded in crc32_pmull.S,
// the rest through the ARMv8 CRC32 instructions.
#include "fingerprint/crc32/crc32_accelerated.h"
#include "fingerprint/crc32/crc32_fold.h"

extern "C" uint32_t crc32FoldPmull(uint32_t crc, const uint8_t* data, std::size_t lanes,
                                   const crc32fold::FoldPair pairs[4]);

namespace {

constexpr std::size_t LaneBytes = 16;
// Below four lanes the CRC32 instructions alone are as fast as folding.
constexpr std::size_t MinimumLength = 4 * LaneBytes;

// The distances the assembly moves lanes by, in the order it loads them: one lane (the single lane,
// the first level of the reduction), eight (the loop), then two and four (the reduction).
alignas(16) constexpr crc32fold::FoldPair Pairs[4] = {
    crc32fold::foldPair(LaneBytes * 8), crc32fold::foldPair(8 * LaneBytes * 8),
    crc32fold::foldPair(2 * LaneBytes * 8), crc32fold::foldPair(4 * LaneBytes * 8)};

} // namespace

uint32_t crc32Pmull(uint32_t crc, const uint8_t* data, std::size_t length) {
    if (data == nullptr) return crc;
    if (length < MinimumLength) return crc32Armv8(crc, data, length);
    const std::size_t lanes = length / LaneBytes;
    // The assembly takes and gives the register itself, the finished CRC inverted.
    const uint32_t folded = ~crc32FoldPmull(~crc, data, lanes, Pairs);
    const std::size_t done = lanes * LaneBytes;
    return crc32Armv8(folded, data + done, length - done);
}
