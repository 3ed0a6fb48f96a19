// SHA-224/256 compression on AArch64 with the ARMv8 SHA-256 instructions, a run of 64-byte blocks per call.
//
// A block is one chain of sixteen SHA256H/SHA256H2 pairs (the two of a pair independent, each needing
// both results of the pair before); W + K and the schedule (SHA256SU0, SHA256SU1) of later groups stay
// off that chain. The round constants stay in registers for the whole call.
#include <arm_neon.h>

#include <utility>

#include "fingerprint/sha2/sha2_accelerated.h"
#include "fingerprint/sha2/sha2_constants.h"

namespace {

struct Registers {
    uint32x4_t abcd;
    uint32x4_t efgh;
    uint32x4_t words[4]; // the message words 4g..4g+3 of group g live in words[g % 4]
    uint32x4_t k[16];
};

// Group g: rounds 4g to 4g + 3 (FIPS 180-4, 6.2.2).
template <int G> [[gnu::always_inline]] inline void fourRounds(Registers& r) {
    if constexpr (G >= 4) {
        // W(4g..4g+3) from the words 16, 12, 8 and 4 before them.
        uint32x4_t& w = r.words[G % 4];
        w = vsha256su1q_u32(vsha256su0q_u32(w, r.words[(G + 1) % 4]), r.words[(G + 2) % 4], r.words[(G + 3) % 4]);
    }
    const uint32x4_t wk = vaddq_u32(r.words[G % 4], r.k[G]);
    const uint32x4_t abcd = r.abcd;
    r.abcd = vsha256hq_u32(abcd, r.efgh, wk);
    r.efgh = vsha256h2q_u32(r.efgh, abcd, wk);
}

template <int... G> [[gnu::always_inline]] inline void allRounds(Registers& r, std::integer_sequence<int, G...>) {
    (fourRounds<G>(r), ...);
}

inline uint32x4_t bigEndianWords(const uint8_t* p) {
    return vreinterpretq_u32_u8(vrev32q_u8(vld1q_u8(p)));
}

} // namespace

void sha256BlocksArm64(uint32_t state[8], const uint8_t* data, std::size_t blocks) {
    Registers r;
    r.abcd = vld1q_u32(state);
    r.efgh = vld1q_u32(state + 4);
    for (int i = 0; i < 16; ++i)
        r.k[i] = vld1q_u32(Sha256RoundConstants + 4 * i);
    for (; blocks > 0; --blocks, data += 64) {
        const uint32x4_t abcdBefore = r.abcd, efghBefore = r.efgh;
        for (int i = 0; i < 4; ++i)
            r.words[i] = bigEndianWords(data + 16 * i);
        allRounds(r, std::make_integer_sequence<int, 16>{});
        r.abcd = vaddq_u32(r.abcd, abcdBefore);
        r.efgh = vaddq_u32(r.efgh, efghBefore);
    }
    vst1q_u32(state, r.abcd);
    vst1q_u32(state + 4, r.efgh);
}
