// CRC-32 on AArch64 with the ARMv8 PMULL instructions: eight 16-byte lanes folded 128 bytes at a time,
// the rest through the CRC32 instructions.
//
// One step moves each lane 128 bytes on and XORs in the 16 bytes there: its low half times one constant
// XOR its high half times another (crc32_fold.h), two PMULL and two EOR a lane. The multiplies are the
// bound (sixteen a step); eight lanes put the chain of one lane (multiply, XOR, XOR) under it. Below
// two steps of input the CRC32 instructions alone are faster than filling and reducing the lanes.
#include <arm_acle.h>
#include <arm_neon.h>

#include "fingerprint/crc32/crc32_accelerated.h"
#include "fingerprint/crc32/crc32_fold.h"

namespace {

constexpr std::size_t LaneBytes = 16;
constexpr std::size_t Lanes = 8;
constexpr std::size_t StepBytes = Lanes * LaneBytes;
constexpr std::size_t MinimumLength = 2 * StepBytes;

alignas(16) constexpr crc32fold::FoldPair Fold16 = crc32fold::foldPair(LaneBytes * 8);
alignas(16) constexpr crc32fold::FoldPair Fold32 = crc32fold::foldPair(2 * LaneBytes * 8);
alignas(16) constexpr crc32fold::FoldPair Fold64 = crc32fold::foldPair(4 * LaneBytes * 8);
alignas(16) constexpr crc32fold::FoldPair Fold128 = crc32fold::foldPair(StepBytes * 8);

inline poly64x2_t constants(const crc32fold::FoldPair& pair) {
    return vreinterpretq_p64_u64(vld1q_u64(&pair.low));
}

inline uint64x2_t load(const uint8_t* p) {
    return vreinterpretq_u64_u8(vld1q_u8(p));
}

// `lane` moved on by the distance of `k`, and `onto` (the lane that lies there) XORed in.
inline uint64x2_t fold(uint64x2_t lane, poly64x2_t k, uint64x2_t onto) {
    const poly64x2_t p = vreinterpretq_p64_u64(lane);
    const uint64x2_t low = vreinterpretq_u64_p128(vmull_p64(vgetq_lane_p64(p, 0), vgetq_lane_p64(k, 0)));
    const uint64x2_t high = vreinterpretq_u64_p128(vmull_high_p64(p, k));
    return veorq_u64(veorq_u64(low, high), onto);
}

} // namespace

uint32_t crc32PmullArm64(uint32_t crc, const uint8_t* data, std::size_t length) {
    if (data == nullptr) return crc;
    if (length < MinimumLength) return crc32Arm64(crc, data, length);

    // Starting from register 0 with the running register XORed into the first four bytes gives the same
    // remainder as starting from the register itself.
    uint64x2_t x0 = veorq_u64(load(data), vsetq_lane_u64(uint64_t{~crc}, vdupq_n_u64(0), 0));
    uint64x2_t x1 = load(data + 16), x2 = load(data + 32), x3 = load(data + 48);
    uint64x2_t x4 = load(data + 64), x5 = load(data + 80), x6 = load(data + 96), x7 = load(data + 112);
    data += StepBytes;
    length -= StepBytes;

    const poly64x2_t k128 = constants(Fold128);
    do {
        x0 = fold(x0, k128, load(data));
        x1 = fold(x1, k128, load(data + 16));
        x2 = fold(x2, k128, load(data + 32));
        x3 = fold(x3, k128, load(data + 48));
        x4 = fold(x4, k128, load(data + 64));
        x5 = fold(x5, k128, load(data + 80));
        x6 = fold(x6, k128, load(data + 96));
        x7 = fold(x7, k128, load(data + 112));
        data += StepBytes;
        length -= StepBytes;
    } while (length >= StepBytes);

    // Into one lane in three levels, each pair independent of the others: every odd lane takes the even
    // one before it, then lanes 3 and 7 take 1 and 5, then lane 7 takes 3.
    const poly64x2_t k16 = constants(Fold16);
    x1 = fold(x0, k16, x1);
    x3 = fold(x2, k16, x3);
    x5 = fold(x4, k16, x5);
    x7 = fold(x6, k16, x7);
    const poly64x2_t k32 = constants(Fold32);
    x3 = fold(x1, k32, x3);
    x7 = fold(x5, k32, x7);
    x7 = fold(x3, constants(Fold64), x7);

    // The lane is congruent to everything so far: its CRC from register 0 is the register now.
    uint32_t reg = __crc32d(0, vgetq_lane_u64(x7, 0));
    reg = __crc32d(reg, vgetq_lane_u64(x7, 1));
    return crc32Arm64(~reg, data, length);
}
