// SHA-384 and SHA-512 of one message together: the two states in the 64-bit lanes of XMM registers
// (AVX-512VL rotations and three-input logic), one message schedule for both.
#include <immintrin.h>

#include "fingerprint/sha2/sha2_accelerated.h"
#include "fingerprint/sha2/sha2_constants.h"

// Word w of the first state is lane 0 of register w, of the second lane 1. A round (FIPS 180-4, 6.4.2)
// is then 17 vector operations for both states, where one state's scalar round in sha512_avx512.cpp takes
// 28 integer ones: Sigma0 and Sigma1 three vprorq and one vpternlogq each, Ch and Maj one vpternlogq
// each, and six additions; W + K, the same for both, comes broadcast from memory. The schedule is
// expanded before the rounds, two words a register.

namespace {

constexpr int Rounds = 80;

struct Chain {
    __m128i a, b, c, d, e, f, g, h;
};

// One round with the variables renamed instead of moved: only d and h change.
[[gnu::always_inline]] inline void round(__m128i a, __m128i b, __m128i c, __m128i& d, __m128i e, __m128i f,
                                         __m128i g, __m128i& h, uint64_t wk) {
    const __m128i sigma1 =
        _mm_ternarylogic_epi64(_mm_ror_epi64(e, 14), _mm_ror_epi64(e, 18), _mm_ror_epi64(e, 41), 0x96);
    const __m128i choice = _mm_ternarylogic_epi64(e, f, g, 0xCA); // e ? f : g
    h = _mm_add_epi64(_mm_add_epi64(h, _mm_set1_epi64x(static_cast<long long>(wk))), _mm_add_epi64(sigma1, choice));
    d = _mm_add_epi64(d, h);
    const __m128i sigma0 =
        _mm_ternarylogic_epi64(_mm_ror_epi64(a, 28), _mm_ror_epi64(a, 34), _mm_ror_epi64(a, 39), 0x96);
    const __m128i majority = _mm_ternarylogic_epi64(a, b, c, 0xE8);
    h = _mm_add_epi64(h, _mm_add_epi64(sigma0, majority));
}

// W + K of one block: words two at a time, FIPS 180-4, 6.4.2: sigma0 = ROTR1 ^ ROTR8 ^ SHR7,
// sigma1 = ROTR19 ^ ROTR61 ^ SHR6.
[[gnu::always_inline]] inline void schedule(uint64_t (&wk)[Rounds], const uint8_t* block) {
    const __m128i byteSwap = _mm_set_epi64x(0x08090a0b0c0d0e0fLL, 0x0001020304050607LL);
    __m128i w[Rounds / 2];
    for (int p = 0; p < 8; ++p) {
        w[p] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * p)), byteSwap);
        _mm_store_si128(reinterpret_cast<__m128i*>(wk + 2 * p),
                        _mm_add_epi64(w[p], _mm_loadu_si128(reinterpret_cast<const __m128i*>(Sha512RoundConstants + 2 * p))));
    }
    for (int p = 8; p < Rounds / 2; ++p) {
        const __m128i w15 = _mm_alignr_epi8(w[p - 7], w[p - 8], 8); // words t-15, t-14
        const __m128i w7 = _mm_alignr_epi8(w[p - 3], w[p - 4], 8);  // words t-7, t-6
        const __m128i w2 = w[p - 1];                                 // words t-2, t-1
        const __m128i s0 =
            _mm_ternarylogic_epi64(_mm_ror_epi64(w15, 1), _mm_ror_epi64(w15, 8), _mm_srli_epi64(w15, 7), 0x96);
        const __m128i s1 =
            _mm_ternarylogic_epi64(_mm_ror_epi64(w2, 19), _mm_ror_epi64(w2, 61), _mm_srli_epi64(w2, 6), 0x96);
        w[p] = _mm_add_epi64(_mm_add_epi64(w[p - 8], s0), _mm_add_epi64(w7, s1));
        _mm_store_si128(reinterpret_cast<__m128i*>(wk + 2 * p),
                        _mm_add_epi64(w[p], _mm_loadu_si128(reinterpret_cast<const __m128i*>(Sha512RoundConstants + 2 * p))));
    }
}

} // namespace

void sha512PairBlocksAvx512(uint64_t first[8], uint64_t second[8], const uint8_t* data, std::size_t blocks) {
    __m128i words[8];
    for (int i = 0; i < 8; ++i)
        words[i] = _mm_set_epi64x(static_cast<long long>(second[i]), static_cast<long long>(first[i]));
    Chain chain{words[0], words[1], words[2], words[3], words[4], words[5], words[6], words[7]};
    alignas(16) uint64_t wk[Rounds];
    for (; blocks > 0; --blocks, data += 128) {
        schedule(wk, data);
        __m128i a = chain.a, b = chain.b, c = chain.c, d = chain.d, e = chain.e, f = chain.f, g = chain.g,
                h = chain.h;
        for (int t = 0; t < Rounds; t += 8) {
            round(a, b, c, d, e, f, g, h, wk[t]);
            round(h, a, b, c, d, e, f, g, wk[t + 1]);
            round(g, h, a, b, c, d, e, f, wk[t + 2]);
            round(f, g, h, a, b, c, d, e, wk[t + 3]);
            round(e, f, g, h, a, b, c, d, wk[t + 4]);
            round(d, e, f, g, h, a, b, c, wk[t + 5]);
            round(c, d, e, f, g, h, a, b, wk[t + 6]);
            round(b, c, d, e, f, g, h, a, wk[t + 7]);
        }
        chain = {_mm_add_epi64(chain.a, a), _mm_add_epi64(chain.b, b), _mm_add_epi64(chain.c, c),
                 _mm_add_epi64(chain.d, d), _mm_add_epi64(chain.e, e), _mm_add_epi64(chain.f, f),
                 _mm_add_epi64(chain.g, g), _mm_add_epi64(chain.h, h)};
    }
    const __m128i out[8] = {chain.a, chain.b, chain.c, chain.d, chain.e, chain.f, chain.g, chain.h};
    for (int i = 0; i < 8; ++i) {
        first[i] = static_cast<uint64_t>(_mm_cvtsi128_si64(out[i]));
        second[i] = static_cast<uint64_t>(_mm_extract_epi64(out[i], 1));
    }
}
