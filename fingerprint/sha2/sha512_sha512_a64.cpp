// SHA-384/512 compression on AArch64 with the ARMv8.2 SHA-512 instructions, a run of 128-byte blocks per
// call.
//
// The state stands in four registers as the pairs [a, b], [c, d], [e, f], [g, h] (low lane first). Two
// rounds are one SHA512H and one SHA512H2: SHA512H takes [f, g], [d, e] and [g + W + K of the second
// round, h + W + K of the first] and gives T1 of both rounds; SHA512H2 takes those, [c, -] and [a, b]
// and gives the two new a. Then [c, d] + T1 are the two new e, and the pairs move down one register:
// [a, b] becomes [c, d], [e, f] becomes [g, h]. The schedule (SHA512SU0, SHA512SU1) makes two words at a
// time, eight rounds ahead of their use.
#include <arm_neon.h>

#include <utility>

#include "fingerprint/sha2/sha2_accelerated.h"
#include "fingerprint/sha2/sha2_constants.h"

namespace {

struct Registers {
    uint64x2_t pair[4];  // round 2i starts with [a, b] in pair[(4 - i) % 4], then [c, d], [e, f], [g, h]
    uint64x2_t words[8]; // the message words 2i, 2i + 1 of round pair i live in words[i % 8]
};

// Rounds 2i and 2i + 1 (FIPS 180-4, 6.4.2).
template <int I> [[gnu::always_inline]] inline void twoRounds(Registers& r) {
    uint64x2_t& ab = r.pair[(4 - I % 4) % 4];
    uint64x2_t& cd = r.pair[(5 - I % 4) % 4];
    uint64x2_t& ef = r.pair[(6 - I % 4) % 4];
    uint64x2_t& gh = r.pair[(7 - I % 4) % 4];
    if constexpr (I >= 8) {
        // W(2i), W(2i + 1) from the words 16, 15, 7, 6 and 2 before them.
        uint64x2_t& w = r.words[I % 8];
        const uint64x2_t sevenBefore = vextq_u64(r.words[(I + 4) % 8], r.words[(I + 5) % 8], 1);
        w = vsha512su1q_u64(vsha512su0q_u64(w, r.words[(I + 1) % 8]), r.words[(I + 7) % 8], sevenBefore);
    }
    const uint64x2_t wk = vaddq_u64(r.words[I % 8], vld1q_u64(Sha512RoundConstants + 2 * I));
    // [g + WK(2i + 1), h + WK(2i)]
    const uint64x2_t sum = vaddq_u64(gh, vextq_u64(wk, wk, 1));
    const uint64x2_t t1 = vsha512hq_u64(sum, vextq_u64(ef, gh, 1), vextq_u64(cd, ef, 1));
    // The pair that held [g, h] receives the new [a, b]; [c, d] becomes the new [e, f].
    gh = vsha512h2q_u64(t1, cd, ab);
    cd = vaddq_u64(cd, t1);
}

template <int... I>
[[gnu::always_inline]] inline void allRounds(Registers& r, std::integer_sequence<int, I...>) {
    (twoRounds<I>(r), ...);
}

} // namespace

void sha512BlocksArm64Sha512(uint64_t state[8], const uint8_t* data, std::size_t blocks) {
    Registers r;
    for (int i = 0; i < 4; ++i)
        r.pair[i] = vld1q_u64(state + 2 * i);
    for (; blocks > 0; --blocks, data += 128) {
        uint64x2_t before[4];
        for (int i = 0; i < 4; ++i)
            before[i] = r.pair[i];
        for (int i = 0; i < 8; ++i)
            r.words[i] = vreinterpretq_u64_u8(vrev64q_u8(vld1q_u8(data + 16 * i)));
        // Forty round pairs: the registers' roles turn full circle every four, so after forty [a, b] is
        // back in pair[0].
        allRounds(r, std::make_integer_sequence<int, 40>{});
        for (int i = 0; i < 4; ++i)
            r.pair[i] = vaddq_u64(r.pair[i], before[i]);
    }
    for (int i = 0; i < 4; ++i)
        vst1q_u64(state + 2 * i, r.pair[i]);
}
