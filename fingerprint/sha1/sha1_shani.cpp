// SHA-1 compression with the SHA extensions (SHA-NI), a run of 64-byte blocks per call.
#include <immintrin.h>

#include <utility>

#include "fingerprint/sha1/sha1_accelerated.h"

namespace {

struct Registers {
    __m128i abcd;
    __m128i e[2];       // group g consumes e[g % 2] and leaves A (the next group's E source) in the other
    __m128i message[4]; // message words 4g..4g+3 of group g live in message[g % 4]
};

// One group of four rounds (sha1rnds4 with the round function of rounds 20 (G/5) onwards), with
// the schedule of later groups advanced alongside: msg2 completes group g+1, XOR and msg1 prepare
// groups g+2 and g+3.
template <int G> inline void fourRounds(Registers& r, const uint8_t* block, __m128i byteSwap) {
    __m128i& current = r.message[G % 4];
    if constexpr (G < 4)
        current =
            _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * G)), byteSwap);
    if constexpr (G == 0)
        r.e[0] = _mm_add_epi32(r.e[0], current);
    else
        r.e[G % 2] = _mm_sha1nexte_epu32(r.e[G % 2], current);
    r.e[(G + 1) % 2] = r.abcd;
    if constexpr (G >= 3 && G <= 18) {
        __m128i& next = r.message[(G + 1) % 4];
        next = _mm_sha1msg2_epu32(next, current);
    }
    r.abcd = _mm_sha1rnds4_epu32(r.abcd, r.e[G % 2], G / 5);
    if constexpr (G >= 1 && G <= 16) {
        __m128i& previous = r.message[(G + 3) % 4];
        previous = _mm_sha1msg1_epu32(previous, current);
    }
    if constexpr (G >= 2 && G <= 17) {
        __m128i& twoBack = r.message[(G + 2) % 4];
        twoBack = _mm_xor_si128(twoBack, current);
    }
}

template <int... G>
inline void allRounds(Registers& r, const uint8_t* block, __m128i byteSwap,
                      std::integer_sequence<int, G...>) {
    (fourRounds<G>(r, block, byteSwap), ...);
}

} // namespace

void sha1BlocksShani(uint32_t state[5], const uint8_t* data, std::size_t blocks) {
    // Reverses all 16 bytes: big-endian words, first word in the most significant lane.
    const __m128i byteSwap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);

    Registers r{};
    r.abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
    __m128i e = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);

    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abcdBefore = r.abcd;
        const __m128i eBefore = e;
        r.e[0] = e;
        allRounds(r, data, byteSwap, std::make_integer_sequence<int, 20>{});
        // After group 19, e[0] holds A of round 75, whose rotation is the final E.
        e = _mm_sha1nexte_epu32(r.e[0], eBefore);
        r.abcd = _mm_add_epi32(r.abcd, abcdBefore);
    }

    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(r.abcd, 0x1B));
    state[4] = static_cast<uint32_t>(_mm_extract_epi32(e, 3));
}
