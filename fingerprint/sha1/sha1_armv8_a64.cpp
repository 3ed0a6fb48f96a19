// SHA-1 compression on AArch64 with the ARMv8 SHA-1 instructions, a run of 64-byte blocks per call.
//
// A block is one chain of twenty SHA1C/SHA1P/SHA1M, each taking the ABCD of the one before; everything
// else stays off that chain: the E of group g + 1 is SHA1H of the ABCD that group g reads, W + K of a
// group is ready before its round instruction, and the schedule (SHA1SU0, SHA1SU1) of later groups fills
// the gaps. The compiler keeps every value in the 32 vector registers.
#include <arm_neon.h>

#include <utility>

#include "fingerprint/sha1/sha1_accelerated.h"

namespace {

struct Registers {
    uint32x4_t abcd;
    uint32_t e[2];        // group g takes e[g % 2] and leaves the next group's E in the other
    uint32x4_t words[4];  // the message words 4g..4g+3 of group g live in words[g % 4]
    uint32x4_t k[4];      // the round constants, one per twenty rounds (FIPS 180-4, 4.2.1)
};

// Group g: rounds 4g to 4g + 3, its round function fixed by g / 5 (FIPS 180-4, 4.1.1).
template <int G> [[gnu::always_inline]] inline void fourRounds(Registers& r) {
    if constexpr (G >= 4) {
        // W(4g..4g+3) from the words 16, 12, 8 and 4 before them.
        uint32x4_t& w = r.words[G % 4];
        w = vsha1su1q_u32(vsha1su0q_u32(w, r.words[(G + 1) % 4], r.words[(G + 2) % 4]), r.words[(G + 3) % 4]);
    }
    const uint32x4_t wk = vaddq_u32(r.words[G % 4], r.k[G / 5]);
    const uint32_t e = r.e[G % 2];
    r.e[(G + 1) % 2] = vsha1h_u32(vgetq_lane_u32(r.abcd, 0));
    if constexpr (G / 5 == 0)
        r.abcd = vsha1cq_u32(r.abcd, e, wk);
    else if constexpr (G / 5 == 2)
        r.abcd = vsha1mq_u32(r.abcd, e, wk);
    else
        r.abcd = vsha1pq_u32(r.abcd, e, wk);
}

template <int... G> [[gnu::always_inline]] inline void allRounds(Registers& r, std::integer_sequence<int, G...>) {
    (fourRounds<G>(r), ...);
}

inline uint32x4_t bigEndianWords(const uint8_t* p) {
    return vreinterpretq_u32_u8(vrev32q_u8(vld1q_u8(p)));
}

} // namespace

void sha1BlocksArm64(uint32_t state[5], const uint8_t* data, std::size_t blocks) {
    Registers r;
    r.abcd = vld1q_u32(state);
    uint32_t e = state[4];
    r.k[0] = vdupq_n_u32(0x5a827999);
    r.k[1] = vdupq_n_u32(0x6ed9eba1);
    r.k[2] = vdupq_n_u32(0x8f1bbcdc);
    r.k[3] = vdupq_n_u32(0xca62c1d6);
    for (; blocks > 0; --blocks, data += 64) {
        const uint32x4_t abcdBefore = r.abcd;
        for (int i = 0; i < 4; ++i)
            r.words[i] = bigEndianWords(data + 16 * i);
        r.e[0] = e;
        allRounds(r, std::make_integer_sequence<int, 20>{});
        // After group 19, e[0] holds SHA1H of the ABCD group 19 read: E of round 80 (FIPS 180-4, 6.1.2).
        e += r.e[0];
        r.abcd = vaddq_u32(r.abcd, abcdBefore);
    }
    vst1q_u32(state, r.abcd);
    state[4] = e;
}
