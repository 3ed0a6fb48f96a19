// CRC-32 on 32-bit ARM by folding 128-bit lanes with the ARMv8 PMULL instruction (VMULL.P64); the
// folded lane and the tail go through the ARMv8 CRC32 instructions.
#include <arm_acle.h>
#include <arm_neon.h>

#include "fingerprint/arm_neon_memory.h"
#include "fingerprint/crc32/crc32_accelerated.h"
#include "fingerprint/crc32/crc32_fold.h"

namespace {

// Four lanes in flight hide the multiplier's latency; below that much input the CRC32 instructions
// alone are as fast.
constexpr std::size_t LaneBytes = 16;
constexpr std::size_t Lanes = 4;
constexpr std::size_t MinimumLength = Lanes * LaneBytes;

constexpr crc32fold::FoldPair Fold4 = crc32fold::foldPair(Lanes * LaneBytes * 8);
constexpr crc32fold::FoldPair Fold1 = crc32fold::foldPair(LaneBytes * 8);

// The lane's low half (its first eight bytes) times `low`, XOR its high half times `high`: the lane
// moved forward by the distance the pair was made for.
inline uint64x2_t fold(uint64x2_t lane, poly64_t low, poly64_t high) {
    const poly64x2_t halves = vreinterpretq_p64_u64(lane);
    return veorq_u64(vreinterpretq_u64_p128(vmull_p64(vgetq_lane_p64(halves, 0), low)),
                     vreinterpretq_u64_p128(vmull_p64(vgetq_lane_p64(halves, 1), high)));
}

inline uint64x2_t load(const uint8_t* p) {
    return vreinterpretq_u64_u8(vld1q_u8(p));
}

} // namespace

uint32_t crc32Pmull(uint32_t crc, const uint8_t* data, std::size_t length) {
    if (data == nullptr) return crc;
    if (length < MinimumLength) return crc32Armv8(crc, data, length);

    // Starting from register 0 with the running register XORed into the first four bytes gives
    // the same remainder as starting from the register itself.
    const uint32x4_t initial = vsetq_lane_u32(~crc, vdupq_n_u32(0), 0);
    uint64x2_t x0 = veorq_u64(load(data), vreinterpretq_u64_u32(initial));
    uint64x2_t x1 = load(data + 16);
    uint64x2_t x2 = load(data + 32);
    uint64x2_t x3 = load(data + 48);
    data += MinimumLength;
    length -= MinimumLength;

    const poly64_t low4 = Fold4.low, high4 = Fold4.high;
    for (; length >= MinimumLength; length -= MinimumLength) {
        const uint8x16x2_t first = load32Bytes(data);
        const uint8x16x2_t second = load32Bytes(data);
        x0 = veorq_u64(fold(x0, low4, high4), vreinterpretq_u64_u8(first.val[0]));
        x1 = veorq_u64(fold(x1, low4, high4), vreinterpretq_u64_u8(first.val[1]));
        x2 = veorq_u64(fold(x2, low4, high4), vreinterpretq_u64_u8(second.val[0]));
        x3 = veorq_u64(fold(x3, low4, high4), vreinterpretq_u64_u8(second.val[1]));
    }

    const poly64_t low1 = Fold1.low, high1 = Fold1.high;
    uint64x2_t x = veorq_u64(fold(x0, low1, high1), x1);
    x = veorq_u64(fold(x, low1, high1), x2);
    x = veorq_u64(fold(x, low1, high1), x3);
    while (length >= LaneBytes) {
        x = veorq_u64(fold(x, low1, high1), load(data));
        data += LaneBytes;
        length -= LaneBytes;
    }

    // The folded lane is congruent to the whole input so far: its CRC from register 0, continued
    // over the tail, is the CRC of everything.
    const uint32x4_t words = vreinterpretq_u32_u64(x);
    uint32_t c = __crc32w(0, vgetq_lane_u32(words, 0));
    c = __crc32w(c, vgetq_lane_u32(words, 1));
    c = __crc32w(c, vgetq_lane_u32(words, 2));
    c = __crc32w(c, vgetq_lane_u32(words, 3));
    return crc32Armv8(~c, data, length);
}
