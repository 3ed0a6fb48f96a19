// SHA-224/256 compression with the SHA extensions (SHA-NI), a run of 64-byte blocks per call, for one state
// or for two states of the same message (SHA-224 and SHA-256), whose rounds share one message schedule.
#include <immintrin.h>

#include <cstddef>
#include <utility>

#include "fingerprint/sha2/sha2_accelerated.h"
#include "fingerprint/sha2/sha2_constants.h"

namespace {

template <std::size_t States> struct Registers {
    __m128i abef[States];
    __m128i cdgh[States];
    __m128i message[4]; // message words 4g..4g+3 of group g live in message[g % 4]
};

// One group of four rounds. The schedule of later groups is advanced alongside: message[g+1] gets
// its second step here, message[g-1] its first step (sha256msg1), as far as they are needed. With two
// states, each sha256rnds2 waits for the one before it of its own state only, so the two chains overlap.
template <int G, std::size_t States>
inline void fourRounds(Registers<States>& r, const uint8_t* block, __m128i byteSwap) {
    __m128i& current = r.message[G % 4];
    if constexpr (G < 4)
        current =
            _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * G)), byteSwap);
    __m128i wk = _mm_add_epi32(
        current, _mm_load_si128(reinterpret_cast<const __m128i*>(Sha256RoundConstants + 4 * G)));
    for (std::size_t s = 0; s < States; ++s)
        r.cdgh[s] = _mm_sha256rnds2_epu32(r.cdgh[s], r.abef[s], wk);
    if constexpr (G >= 3 && G <= 14) {
        __m128i& next = r.message[(G + 1) % 4];
        next = _mm_add_epi32(next, _mm_alignr_epi8(current, r.message[(G + 3) % 4], 4));
        next = _mm_sha256msg2_epu32(next, current);
    }
    wk = _mm_shuffle_epi32(wk, 0x0E);
    for (std::size_t s = 0; s < States; ++s)
        r.abef[s] = _mm_sha256rnds2_epu32(r.abef[s], r.cdgh[s], wk);
    if constexpr (G >= 1 && G <= 12) {
        __m128i& previous = r.message[(G + 3) % 4];
        previous = _mm_sha256msg1_epu32(previous, current);
    }
}

template <std::size_t States, int... G>
inline void allRounds(Registers<States>& r, const uint8_t* block, __m128i byteSwap, std::integer_sequence<int, G...>) {
    (fourRounds<G>(r, block, byteSwap), ...);
}

template <std::size_t States>
inline void compress(uint32_t* const states[States], const uint8_t* data, std::size_t blocks) {
    // Big-endian words within each 32-bit lane.
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);

    // The instructions keep the state as {A,B,E,F} and {C,D,G,H}, most significant lane first.
    Registers<States> r{};
    for (std::size_t s = 0; s < States; ++s) {
        const __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(states[s]));
        const __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(states[s] + 4));
        const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
        const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
        r.abef[s] = _mm_alignr_epi8(cdab, efgh, 8);
        r.cdgh[s] = _mm_blend_epi16(efgh, cdab, 0xF0);
    }

    for (; blocks > 0; --blocks, data += 64) {
        __m128i abefBefore[States], cdghBefore[States];
        for (std::size_t s = 0; s < States; ++s) {
            abefBefore[s] = r.abef[s];
            cdghBefore[s] = r.cdgh[s];
        }
        allRounds(r, data, byteSwap, std::make_integer_sequence<int, 16>{});
        for (std::size_t s = 0; s < States; ++s) {
            r.abef[s] = _mm_add_epi32(r.abef[s], abefBefore[s]);
            r.cdgh[s] = _mm_add_epi32(r.cdgh[s], cdghBefore[s]);
        }
    }

    for (std::size_t s = 0; s < States; ++s) {
        const __m128i feba = _mm_shuffle_epi32(r.abef[s], 0x1B);
        const __m128i dchg = _mm_shuffle_epi32(r.cdgh[s], 0xB1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(states[s]), _mm_blend_epi16(feba, dchg, 0xF0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(states[s] + 4), _mm_alignr_epi8(dchg, feba, 8));
    }
}

} // namespace

void sha256BlocksShani(uint32_t state[8], const uint8_t* data, std::size_t blocks) {
    uint32_t* const states[1] = {state};
    compress<1>(states, data, blocks);
}

void sha256PairBlocksShani(uint32_t first[8], uint32_t second[8], const uint8_t* data, std::size_t blocks) {
    uint32_t* const states[2] = {first, second};
    compress<2>(states, data, blocks);
}
