// SHA-224/256 compression with the SHA extensions (SHA-NI), a run of 64-byte blocks per call.
#include <immintrin.h>

#include <utility>

#include "fingerprint/sha2/sha2_accelerated.h"

namespace {

// FIPS 180-4, 4.2.2: the 64 round constants.
alignas(16) constexpr uint32_t RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

struct Registers {
    __m128i abef;
    __m128i cdgh;
    __m128i message[4]; // message words 4g..4g+3 of group g live in message[g % 4]
};

// One group of four rounds. The schedule of later groups is advanced alongside: message[g+1] gets
// its second step here, message[g-1] its first step (sha256msg1), as far as they are needed.
template <int G> inline void fourRounds(Registers& r, const uint8_t* block, __m128i byteSwap) {
    __m128i& current = r.message[G % 4];
    if constexpr (G < 4)
        current =
            _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * G)), byteSwap);
    __m128i wk =
        _mm_add_epi32(current, _mm_load_si128(reinterpret_cast<const __m128i*>(RoundConstants + 4 * G)));
    r.cdgh = _mm_sha256rnds2_epu32(r.cdgh, r.abef, wk);
    if constexpr (G >= 3 && G <= 14) {
        __m128i& next = r.message[(G + 1) % 4];
        next = _mm_add_epi32(next, _mm_alignr_epi8(current, r.message[(G + 3) % 4], 4));
        next = _mm_sha256msg2_epu32(next, current);
    }
    wk = _mm_shuffle_epi32(wk, 0x0E);
    r.abef = _mm_sha256rnds2_epu32(r.abef, r.cdgh, wk);
    if constexpr (G >= 1 && G <= 12) {
        __m128i& previous = r.message[(G + 3) % 4];
        previous = _mm_sha256msg1_epu32(previous, current);
    }
}

template <int... G>
inline void allRounds(Registers& r, const uint8_t* block, __m128i byteSwap,
                      std::integer_sequence<int, G...>) {
    (fourRounds<G>(r, block, byteSwap), ...);
}

} // namespace

void sha256BlocksShani(uint32_t state[8], const uint8_t* data, std::size_t blocks) {
    // Big-endian words within each 32-bit lane.
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);

    // The instructions keep the state as {A,B,E,F} and {C,D,G,H}, most significant lane first.
    const __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    const __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    Registers r{};
    r.abef = _mm_alignr_epi8(cdab, efgh, 8);
    r.cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abefBefore = r.abef;
        const __m128i cdghBefore = r.cdgh;
        allRounds(r, data, byteSwap, std::make_integer_sequence<int, 16>{});
        r.abef = _mm_add_epi32(r.abef, abefBefore);
        r.cdgh = _mm_add_epi32(r.cdgh, cdghBefore);
    }

    const __m128i feba = _mm_shuffle_epi32(r.abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(r.cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}
