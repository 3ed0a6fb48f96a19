// SHA-224/256 compression for 32-bit ARM cores with NEON but without the SHA instructions: the
// message schedule in NEON registers, the 64 rounds in the core registers.
#include <arm_neon.h>

#include <bit>

#include "fingerprint/arm_neon_memory.h"
#include "fingerprint/sha2/sha2_accelerated.h"
#include "fingerprint/sha2/sha2_constants.h"

namespace {

template <int Bits> inline uint32x4_t rotateRight(uint32x4_t x) {
    return vsliq_n_u32(vshrq_n_u32(x, Bits), x, 32 - Bits);
}
template <int Bits> inline uint32x2_t rotateRight(uint32x2_t x) {
    return vsli_n_u32(vshr_n_u32(x, Bits), x, 32 - Bits);
}

// FIPS 180-4 4.1.2, on four words and on two.
inline uint32x4_t smallSigma0(uint32x4_t x) {
    return veorq_u32(veorq_u32(rotateRight<7>(x), rotateRight<18>(x)), vshrq_n_u32(x, 3));
}
inline uint32x2_t smallSigma1(uint32x2_t x) {
    return veor_u32(veor_u32(rotateRight<17>(x), rotateRight<19>(x)), vshr_n_u32(x, 10));
}

// W[t] + K[t] for the 64 rounds of one block (FIPS 180-4, 6.2.2 step 1), four words at a time:
// W[t] = sigma1(W[t-2]) + W[t-7] + sigma0(W[t-15]) + W[t-16]. The first two words of a group take
// sigma1 of the group before, the last two that of the first two. The loop is unrolled whole (GCC
// stops short of that by itself): in a loop the vectors would live in memory. Out of line for the
// same reason as compressBlock below.
[[gnu::noinline]] void scheduleBlock(const uint8_t* data, uint32_t* wk) {
    const uint32_t* constants = Sha256RoundConstants;
    uint32x4_t w[16];
    const uint32x4x4_t block = loadBigEndianBlock(data);
    for (int g = 0; g < 4; ++g)
        w[g] = block.val[g];
    for (int g = 0; g < 4; ++g)
        store16Bytes(wk, vaddq_u32(w[g], load16Bytes(constants)));
#pragma GCC unroll 12
    for (int g = 4; g < 16; ++g) {
        const uint32x4_t partial = vaddq_u32(vaddq_u32(w[g - 4], vextq_u32(w[g - 2], w[g - 1], 1)),
                                             smallSigma0(vextq_u32(w[g - 4], w[g - 3], 1)));
        const uint32x2_t sigmaBefore = smallSigma1(vget_high_u32(w[g - 1]));
        const uint32x2_t first = vadd_u32(vget_low_u32(partial), sigmaBefore);
        w[g] = vaddq_u32(partial, vcombine_u32(sigmaBefore, smallSigma1(first)));
        store16Bytes(wk, vaddq_u32(w[g], load16Bytes(constants)));
    }
}

// FIPS 180-4 4.1.2 with the last rotation taken out, so that it folds into the operand of the add
// that uses it (ARM's shifted register operands). GCC would move the outer rotation back inside and
// regroup the XORs, one instruction per round more: the empty asms keep both steps as written.
template <int First, int Second, int Last> inline uint32_t bigSigma(uint32_t x) {
    uint32_t inner = x ^ std::rotr(x, First);
    __asm__("" : "+r"(inner));
    inner ^= std::rotr(x, Second);
    __asm__("" : "+r"(inner));
    return std::rotr(inner, Last);
}
inline uint32_t bigSigma0(uint32_t x) {
    return bigSigma<11, 20, 2>(x);
}
inline uint32_t bigSigma1(uint32_t x) {
    return bigSigma<5, 19, 6>(x);
}

// Maj(a, b, c) is taken as b ^ ((a ^ b) & (b ^ c)): a ^ b of one round is b ^ c of the next.
#define SHA256_ROUND(a, b, c, d, e, f, g, h, word)                                                           \
    h += (word) + bigSigma1(e) + (g ^ (e & (f ^ g)));                                                        \
    d += h;                                                                                                  \
    ab = a ^ b;                                                                                              \
    h += bigSigma0(a) + (b ^ (ab & bc));                                                                     \
    bc = ab;

// Two rounds from one load of two words (LDRD): 32 loads fewer per block.
#define SHA256_TWO(a, b, c, d, e, f, g, h, t)                                                                \
    pair = reinterpret_cast<const WordPair*>(wk)[(t) / 2];                                                   \
    SHA256_ROUND(a, b, c, d, e, f, g, h, static_cast<uint32_t>(pair))                                        \
    SHA256_ROUND(h, a, b, c, d, e, f, g, static_cast<uint32_t>(pair >> 32))

// Eight rounds bring the roles of a..h back to where they started.
#define SHA256_EIGHT(t)                                                                                      \
    SHA256_TWO(a, b, c, d, e, f, g, h, (t) + 0)                                                              \
    SHA256_TWO(g, h, a, b, c, d, e, f, (t) + 2)                                                              \
    SHA256_TWO(e, f, g, h, a, b, c, d, (t) + 4)                                                              \
    SHA256_TWO(c, d, e, f, g, h, a, b, (t) + 6)

// Two words of the schedule read at once; the low half is the first word on this little-endian target.
typedef uint64_t WordPair __attribute__((may_alias, aligned(8)));
static_assert(std::endian::native == std::endian::little);

// The 64 rounds of one block (FIPS 180-4, 6.2.2 steps 2 to 4) from the words of scheduleBlock. Kept
// apart from the schedule: together GCC runs out of core registers and spills in the rounds.
[[gnu::noinline]] void compressBlock(uint32_t state[8], const uint32_t* wk) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    uint32_t ab, bc = b ^ c;
    uint64_t pair;
    SHA256_EIGHT(0)
    SHA256_EIGHT(8)
    SHA256_EIGHT(16)
    SHA256_EIGHT(24)
    SHA256_EIGHT(32)
    SHA256_EIGHT(40)
    SHA256_EIGHT(48)
    SHA256_EIGHT(56)
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

} // namespace

void sha256BlocksNeon(uint32_t state[8], const uint8_t* data, std::size_t blocks) {
    for (; blocks > 0; --blocks, data += 64) {
        alignas(8) uint32_t wk[64];
        scheduleBlock(data, wk);
        compressBlock(state, wk);
    }
}
