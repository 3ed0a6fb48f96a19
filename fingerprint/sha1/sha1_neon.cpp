// SHA-1 compression for 32-bit ARM cores with NEON but without the SHA instructions: the message
// schedule in NEON registers, the 80 rounds in the core registers.
#include <arm_neon.h>

#include <bit>

#include "fingerprint/arm_neon_memory.h"
#include "fingerprint/sha1/sha1_accelerated.h"

namespace {

constexpr uint32_t RoundConstants[4] = {0x5a827999, 0x6ed9eba1, 0x8f1bbcdc, 0xca62c1d6};

template <int Bits> inline uint32x4_t rotateLeft(uint32x4_t x) {
    return vsriq_n_u32(vshlq_n_u32(x, Bits), x, 32 - Bits);
}

// W[t] + K[t] for the 80 rounds of one block (FIPS 180-4, 6.1.2 step 1), four words at a time.
// Words 16 to 31 follow W[t] = rotl1(W[t-3] ^ W[t-8] ^ W[t-14] ^ W[t-16]); the fourth word of each
// group needs the first, which is added afterwards. From word 32 on the equivalent
// W[t] = rotl2(W[t-6] ^ W[t-16] ^ W[t-28] ^ W[t-32]) reaches no further back than the group before.
void scheduleBlock(const uint8_t* data, uint32_t* wk) {
    uint32x4_t w[20];
    const uint32x4_t k[4] = {vdupq_n_u32(RoundConstants[0]), vdupq_n_u32(RoundConstants[1]),
                             vdupq_n_u32(RoundConstants[2]), vdupq_n_u32(RoundConstants[3])};
    const uint32x4x4_t block = loadBigEndianBlock(data);
    for (int i = 0; i < 4; ++i)
        w[i] = block.val[i];
    for (int g = 0; g < 4; ++g)
        store16Bytes(wk, vaddq_u32(w[g], k[0]));
    const uint32x4_t zero = vdupq_n_u32(0);
    for (int g = 4; g < 8; ++g) {
        const uint32x4_t missingFirst = veorq_u32(veorq_u32(vextq_u32(w[g - 1], zero, 1), w[g - 2]),
                                                  veorq_u32(vextq_u32(w[g - 4], w[g - 3], 2), w[g - 4]));
        const uint32x4_t first = vextq_u32(zero, missingFirst, 1);
        w[g] = veorq_u32(rotateLeft<1>(missingFirst), rotateLeft<2>(first));
        store16Bytes(wk, vaddq_u32(w[g], k[g / 5]));
    }
    for (int g = 8; g < 20; ++g) {
        w[g] = rotateLeft<2>(
            veorq_u32(veorq_u32(vextq_u32(w[g - 2], w[g - 1], 2), w[g - 4]), veorq_u32(w[g - 7], w[g - 8])));
        store16Bytes(wk, vaddq_u32(w[g], k[g / 5]));
    }
}

// The rounds keep c, d and e rotated left by 2 against their true values: the rotation by 30 that
// turns b into the next c is then never computed, because the rotation of each use is folded into
// the operand of the instruction that reads it (ARM's shifted register operands).
//
// In the rounds with Ch, d is read rotated and then again as the next round's e: the empty asm keeps
// GCC from computing that rotation once into a register of its own, which would cost an instruction.
#define SHA1_CHOOSE(a, b, cx, dx, ex, t)                                                                     \
    __asm__("" : "+r"(ex));                                                                                  \
    ex = std::rotr(ex, 2) + wk[t] + (std::rotr(dx, 2) ^ (b & std::rotr(cx ^ dx, 2))) + std::rotl(a, 5);
#define SHA1_PARITY(a, b, cx, dx, ex, t)                                                                     \
    ex = std::rotr(ex, 2) + wk[t] + (b ^ std::rotr(cx ^ dx, 2)) + std::rotl(a, 5);
// Majority as the sum of its two disjoint parts (c & d) and (b & (c ^ d)).
#define SHA1_MAJORITY(a, b, cx, dx, ex, t)                                                                   \
    ex = std::rotr(ex, 2) + wk[t] + (b & std::rotr(cx ^ dx, 2)) + std::rotr(cx & dx, 2) + std::rotl(a, 5);

// Five rounds bring the roles back to where they started.
#define SHA1_FIVE(R, t)                                                                                      \
    R(a, b, cx, dx, ex, t)                                                                                   \
    R(ex, a, b, cx, dx, (t) + 1)                                                                             \
    R(dx, ex, a, b, cx, (t) + 2) R(cx, dx, ex, a, b, (t) + 3) R(b, cx, dx, ex, a, (t) + 4)

} // namespace

void sha1BlocksNeon(uint32_t state[5], const uint8_t* data, std::size_t blocks) {
    for (; blocks > 0; --blocks, data += 64) {
        uint32_t wk[80];
        scheduleBlock(data, wk);
        uint32_t a = state[0], b = state[1];
        uint32_t cx = std::rotl(state[2], 2), dx = std::rotl(state[3], 2), ex = std::rotl(state[4], 2);
        SHA1_FIVE(SHA1_CHOOSE, 0)
        SHA1_FIVE(SHA1_CHOOSE, 5)
        SHA1_FIVE(SHA1_CHOOSE, 10)
        SHA1_FIVE(SHA1_CHOOSE, 15)
        SHA1_FIVE(SHA1_PARITY, 20)
        SHA1_FIVE(SHA1_PARITY, 25)
        SHA1_FIVE(SHA1_PARITY, 30)
        SHA1_FIVE(SHA1_PARITY, 35)
        SHA1_FIVE(SHA1_MAJORITY, 40)
        SHA1_FIVE(SHA1_MAJORITY, 45)
        SHA1_FIVE(SHA1_MAJORITY, 50)
        SHA1_FIVE(SHA1_MAJORITY, 55)
        SHA1_FIVE(SHA1_PARITY, 60)
        SHA1_FIVE(SHA1_PARITY, 65)
        SHA1_FIVE(SHA1_PARITY, 70)
        SHA1_FIVE(SHA1_PARITY, 75)
        state[0] += a;
        state[1] += b;
        state[2] += std::rotr(cx, 2);
        state[3] += std::rotr(dx, 2);
        state[4] += std::rotr(ex, 2);
    }
}
