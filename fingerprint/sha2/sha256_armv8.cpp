// SHA-224/256 compression with the ARMv8 SHA-256 instructions in 32-bit ARM state, a run of 64-byte blocks
// per call.
#include <arm_neon.h>

#include <utility>

#include "fingerprint/arm_neon_memory.h"
#include "fingerprint/sha2/sha2_accelerated.h"
#include "fingerprint/sha2/sha2_constants.h"

namespace {

struct Registers {
    uint32x4_t abcd;
    uint32x4_t efgh;
    uint32x4_t message[4]; // message words 4g..4g+3 of group g live in message[g % 4]
};

// One group of four rounds; the register group G has just used receives the words of group G + 4.
template <int G> inline void fourRounds(Registers& r, const uint32_t*& constants) {
    const uint32x4_t wk = vaddq_u32(r.message[G % 4], vld1q_u32(constants));
    constants += 4;
    const uint32x4_t abcd = r.abcd;
    r.abcd = vsha256hq_u32(r.abcd, r.efgh, wk);
    r.efgh = vsha256h2q_u32(r.efgh, abcd, wk);
    if constexpr (G < 12) {
        uint32x4_t& words = r.message[G % 4];
        words = vsha256su0q_u32(words, r.message[(G + 1) % 4]);
        words = vsha256su1q_u32(words, r.message[(G + 2) % 4], r.message[(G + 3) % 4]);
    }
}

template <int... G>
inline void allRounds(Registers& r, const uint32_t*& constants, std::integer_sequence<int, G...>) {
    (fourRounds<G>(r, constants), ...);
}

} // namespace

void sha256BlocksArmv8(uint32_t state[8], const uint8_t* data, std::size_t blocks) {
    Registers r;
    r.abcd = vld1q_u32(state);
    r.efgh = vld1q_u32(state + 4);

    for (; blocks > 0; --blocks) {
        const uint32x4_t abcdBefore = r.abcd;
        const uint32x4_t efghBefore = r.efgh;
        const uint32x4x4_t block = loadBigEndianBlock(data);
        for (int i = 0; i < 4; ++i)
            r.message[i] = block.val[i];
        const uint32_t* constants = Sha256RoundConstants;
        allRounds(r, constants, std::make_integer_sequence<int, 16>{});
        r.abcd = vaddq_u32(r.abcd, abcdBefore);
        r.efgh = vaddq_u32(r.efgh, efghBefore);
    }

    vst1q_u32(state, r.abcd);
    vst1q_u32(state + 4, r.efgh);
}
