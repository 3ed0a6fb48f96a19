// SHA-1 compression with the ARMv8 SHA-1 instructions in 32-bit ARM state, a run of 64-byte blocks per call.
#include <arm_neon.h>

#include <utility>

#include "fingerprint/arm_neon_memory.h"
#include "fingerprint/sha1/sha1_accelerated.h"

namespace {

// The instructions read E from lane 0 of a register. The intrinsics take E as a scalar, and GCC then
// moves it to a core register and back (two instructions more per group of four rounds); the
// builtins underneath them take the register as it is.
inline uint32x4_t rotatedA(uint32x4_t abcd) {
    return __builtin_arm_crypto_sha1h(abcd);
}

// Rounds 4G to 4G + 3 with their round function (FIPS 180-4, 4.1.1): Ch, parity, Maj, parity.
template <int G> inline uint32x4_t fourRoundsOf(uint32x4_t abcd, uint32x4_t e, uint32x4_t wk) {
    if constexpr (G < 5)
        return __builtin_arm_crypto_sha1c(abcd, e, wk);
    else if constexpr (G < 10 || G >= 15)
        return __builtin_arm_crypto_sha1p(abcd, e, wk);
    else
        return __builtin_arm_crypto_sha1m(abcd, e, wk);
}

struct Registers {
    uint32x4_t abcd;
    uint32x4_t e[2];       // group g takes its E from e[g % 2] and leaves the next group's in the other
    uint32x4_t message[4]; // message words 4g..4g+3 of group g live in message[g % 4]
    uint32x4_t constants[4];
};

// One group of four rounds, with the schedule advanced alongside: sha1su1 finishes the words of
// group G + 3, sha1su0 starts those of group G + 4 in the register that group G has just used.
template <int G> inline void fourRounds(Registers& r) {
    const uint32x4_t wk = vaddq_u32(r.message[G % 4], r.constants[G / 5]);
    r.e[(G + 1) % 2] = rotatedA(r.abcd);
    r.abcd = fourRoundsOf<G>(r.abcd, r.e[G % 2], wk);
    if constexpr (G >= 1 && G <= 16) {
        uint32x4_t& words = r.message[(G + 3) % 4];
        words = vsha1su1q_u32(words, r.message[(G + 2) % 4]);
    }
    if constexpr (G <= 15) {
        uint32x4_t& words = r.message[G % 4];
        words = vsha1su0q_u32(words, r.message[(G + 1) % 4], r.message[(G + 2) % 4]);
    }
}

template <int... G> inline void allRounds(Registers& r, std::integer_sequence<int, G...>) {
    (fourRounds<G>(r), ...);
}

} // namespace

void sha1BlocksArmv8(uint32_t state[5], const uint8_t* data, std::size_t blocks) {
    Registers r;
    r.abcd = vld1q_u32(state);
    uint32x4_t e = vsetq_lane_u32(state[4], vdupq_n_u32(0), 0);
    r.constants[0] = vdupq_n_u32(0x5a827999);
    r.constants[1] = vdupq_n_u32(0x6ed9eba1);
    r.constants[2] = vdupq_n_u32(0x8f1bbcdc);
    r.constants[3] = vdupq_n_u32(0xca62c1d6);

    // Two blocks per pass through the loop: its count and branch are then paid once per 128 bytes,
    // which brings the instructions per block (102) below OpenSSL's.
#pragma GCC unroll 2
    for (; blocks > 0; --blocks) {
        const uint32x4_t abcdBefore = r.abcd;
        const uint32x4_t eBefore = e;
        const uint32x4x4_t block = loadBigEndianBlock(data);
        for (int i = 0; i < 4; ++i)
            r.message[i] = block.val[i];
        r.e[0] = e;
        allRounds(r, std::make_integer_sequence<int, 20>{});
        // Group 19 left the rotated A of round 76, the final E, in e[0].
        e = vaddq_u32(r.e[0], eBefore);
        r.abcd = vaddq_u32(r.abcd, abcdBefore);
    }

    vst1q_u32(state, r.abcd);
    state[4] = vgetq_lane_u32(e, 0);
}
