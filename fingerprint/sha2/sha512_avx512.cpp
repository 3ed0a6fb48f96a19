// SHA-384/512 compression for wide x86-64 cores: two blocks' schedule in AVX-512VL lanes, short round chains.
#include <immintrin.h>

#include <array>

#include "fingerprint/sha2/sha2_accelerated.h"
#include "fingerprint/sha2/sha2_constants.h"

// Blocks go in pairs. The schedule of both is expanded together, two words of each per 256-bit
// register ([A 2p, A 2p+1 | B 2p, B 2p+1]), during the first 64 rounds of block A; block B then
// runs its 80 rounds with no vector work at all. A core with six integer units (AMD Zen 5) runs the
// rounds faster when their two dependency chains are short than when they have the fewest
// operations, so the rounds here spend three more operations than sha512_avx2.cpp's to take a
// cycle off each chain (see SHA512_ROUND).

namespace {

constexpr int Rounds = 80;

struct Chain {
    uint64_t a, b, c, d, e, f, g, h;
};

// K[t] laid out like the schedule: pair p (words 2p and 2p + 1) once for each block.
constexpr std::array<uint64_t, 2 * Rounds> pairedConstants() {
    std::array<uint64_t, 2 * Rounds> k{};
    for (int p = 0; p < Rounds / 2; ++p)
        for (int half = 0; half < 2; ++half) {
            k[4 * p + 2 * half] = Sha512RoundConstants[2 * p];
            k[4 * p + 2 * half + 1] = Sha512RoundConstants[2 * p + 1];
        }
    return k;
}
alignas(32) constexpr std::array<uint64_t, 2 * Rounds> PairedConstants = pairedConstants();

// Schedule pair p (p >= 8) into ring slot J = p mod 8, which holds pairs p - 8, p - 7, ..., p - 1
// in slots J, J + 1, ...; W + K goes to wk[4p..4p + 3]. FIPS 180-4, 6.4.2: sigma0 = ROTR1 ^ ROTR8 ^
// SHR7 and sigma1 = ROTR19 ^ ROTR61 ^ SHR6; alignr takes word pairs that straddle two slots, in
// each block's half alike.
template <int J> [[gnu::always_inline]] inline void expandPair(__m256i (&w)[8], uint64_t* wk, int p) {
    const __m256i w15 = _mm256_alignr_epi8(w[(J + 1) % 8], w[J], 8);          // words t-15, t-14
    const __m256i w7 = _mm256_alignr_epi8(w[(J + 5) % 8], w[(J + 4) % 8], 8); // words t-7, t-6
    const __m256i w2 = w[(J + 7) % 8];                                        // words t-2, t-1
    const __m256i s0 = _mm256_xor_si256(_mm256_xor_si256(_mm256_ror_epi64(w15, 1), _mm256_ror_epi64(w15, 8)),
                                        _mm256_srli_epi64(w15, 7));
    const __m256i s1 = _mm256_xor_si256(_mm256_xor_si256(_mm256_ror_epi64(w2, 19), _mm256_ror_epi64(w2, 61)),
                                        _mm256_srli_epi64(w2, 6));
    w[J] = _mm256_add_epi64(_mm256_add_epi64(w[J], s0), _mm256_add_epi64(w7, s1));
    _mm256_store_si256(reinterpret_cast<__m256i*>(wk + 4 * p),
                       _mm256_add_epi64(w[J], _mm256_load_si256(reinterpret_cast<const __m256i*>(
                                                  PairedConstants.data() + 4 * p))));
}

// One round, FIPS 180-4, 6.4.2, with the variables renamed instead of moved; W + K is read at
// wk[OFFSET]. The new e is d + h + Ch + Sigma1(e) with d + h + W + K summed before e is known,
// so e waits on four operations (rorx, xor, xor, add) where sha512_avx2.cpp's round has five. The
// new a is h + Ch + Sigma1(e) + Maj(a, b, c) + Sigma0(a) with Maj split into the disjoint parts
// (b & c) + (a & (b ^ c)); b & c is ready before a, so a waits on rorx, xor, xor, add. Ch is
// (e & f) + (~e & g). 25 integer operations and three register copies.
#define SHA512_ROUND(A, B, C, D, E, F, G, H, OFFSET)                                                         \
    do {                                                                                                     \
        uint64_t t0, t1, t2;                                                                                 \
        __asm__(                                                                                             \
            "add %[wk], %[h]\n\t"                                                                            \
            "rorx $14, %[e], %[t0]\n\t"                                                                      \
            "rorx $18, %[e], %[t1]\n\t"                                                                      \
            "add %[h], %[d]\n\t"                                                                             \
            "xor %[t1], %[t0]\n\t"                                                                           \
            "rorx $41, %[e], %[t1]\n\t"                                                                      \
            "andn %[g], %[e], %[t2]\n\t"                                                                     \
            "xor %[t1], %[t0]\n\t"                                                                           \
            "mov %[f], %[t1]\n\t"                                                                            \
            "and %[e], %[t1]\n\t"                                                                            \
            "add %[t2], %[t1]\n\t"                                                                           \
            "mov %[b], %[t2]\n\t"                                                                            \
            "and %[c], %[t2]\n\t"                                                                            \
            "add %[t2], %[h]\n\t"                                                                            \
            "add %[t1], %[d]\n\t"                                                                            \
            "add %[t1], %[h]\n\t"                                                                            \
            "add %[t0], %[d]\n\t"                                                                            \
            "add %[t0], %[h]\n\t"                                                                            \
            "mov %[b], %[t1]\n\t"                                                                            \
            "xor %[c], %[t1]\n\t"                                                                            \
            "and %[a], %[t1]\n\t"                                                                            \
            "rorx $28, %[a], %[t0]\n\t"                                                                      \
            "rorx $34, %[a], %[t2]\n\t"                                                                      \
            "add %[t1], %[h]\n\t"                                                                            \
            "xor %[t2], %[t0]\n\t"                                                                           \
            "rorx $39, %[a], %[t2]\n\t"                                                                      \
            "xor %[t2], %[t0]\n\t"                                                                           \
            "add %[t0], %[h]\n\t"                                                                            \
            : [d] "+r"(D), [h] "+r"(H), [t0] "=&r"(t0), [t1] "=&r"(t1), [t2] "=&r"(t2)                       \
            : [a] "r"(A), [b] "r"(B), [c] "r"(C), [e] "r"(E), [f] "r"(F), [g] "r"(G), [wk] "m"(wk[OFFSET])   \
            : "cc");                                                                                         \
    } while (0)

// Sixteen rounds of one block from wk (its words at offsets 0, 1, 4, 5, ...); with Expand, also
// schedule pairs first..first + 7 (first a multiple of 8), one after every two rounds.
template <bool Expand>
[[gnu::always_inline]] inline void sixteenRounds(Chain& s, const uint64_t* wk, __m256i (&w)[8],
                                                 uint64_t* schedule, int first) {
    uint64_t a = s.a, b = s.b, c = s.c, d = s.d, e = s.e, f = s.f, g = s.g, h = s.h;
#define SHA512_EIGHT_ROUNDS(O)                                                                               \
    SHA512_ROUND(a, b, c, d, e, f, g, h, (O) + 0);                                                           \
    SHA512_ROUND(h, a, b, c, d, e, f, g, (O) + 1);                                                           \
    if constexpr (Expand) expandPair<(O) / 4>(w, schedule, first + (O) / 4);                                 \
    SHA512_ROUND(g, h, a, b, c, d, e, f, (O) + 4);                                                           \
    SHA512_ROUND(f, g, h, a, b, c, d, e, (O) + 5);                                                           \
    if constexpr (Expand) expandPair<(O) / 4 + 1>(w, schedule, first + (O) / 4 + 1);                         \
    SHA512_ROUND(e, f, g, h, a, b, c, d, (O) + 8);                                                           \
    SHA512_ROUND(d, e, f, g, h, a, b, c, (O) + 9);                                                           \
    if constexpr (Expand) expandPair<(O) / 4 + 2>(w, schedule, first + (O) / 4 + 2);                         \
    SHA512_ROUND(c, d, e, f, g, h, a, b, (O) + 12);                                                          \
    SHA512_ROUND(b, c, d, e, f, g, h, a, (O) + 13);                                                          \
    if constexpr (Expand) expandPair<(O) / 4 + 3>(w, schedule, first + (O) / 4 + 3);
    SHA512_EIGHT_ROUNDS(0)
    SHA512_EIGHT_ROUNDS(16)
#undef SHA512_EIGHT_ROUNDS
    s = {a, b, c, d, e, f, g, h};
}

void feedForward(Chain& chain, const Chain& after) {
    chain = {chain.a + after.a, chain.b + after.b, chain.c + after.c, chain.d + after.d,
             chain.e + after.e, chain.f + after.f, chain.g + after.g, chain.h + after.h};
}

} // namespace

void sha512BlocksAvx512(uint64_t state[8], const uint8_t* data, std::size_t blocks) {
    // Big-endian 64-bit words.
    const __m256i byteSwap = _mm256_set_epi64x(0x08090a0b0c0d0e0fLL, 0x0001020304050607LL,
                                               0x08090a0b0c0d0e0fLL, 0x0001020304050607LL);
    alignas(32) uint64_t schedule[2 * Rounds];
    Chain chain{state[0], state[1], state[2], state[3], state[4], state[5], state[6], state[7]};
    while (blocks > 0) {
        // A lone last block takes both halves; the second is never used.
        const uint8_t* blockA = data;
        const uint8_t* blockB = blocks > 1 ? data + 128 : data;
        __m256i w[8];
        for (int j = 0; j < 8; ++j) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blockA + 16 * j));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blockB + 16 * j));
            w[j] = _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(a), b, 1), byteSwap);
            _mm256_store_si256(reinterpret_cast<__m256i*>(schedule + 4 * j),
                               _mm256_add_epi64(w[j], _mm256_load_si256(reinterpret_cast<const __m256i*>(
                                                          PairedConstants.data() + 4 * j))));
        }
        // Loops rather than unrolled code: half the size, and measured as fast.
        Chain s = chain;
#pragma GCC unroll 1
        for (int q = 0; q < 4; ++q)
            sixteenRounds<true>(s, schedule + 32 * q, w, schedule, 8 + 8 * q);
        sixteenRounds<false>(s, schedule + 128, w, schedule, 0);
        feedForward(chain, s);
        if (blocks == 1) break;
        s = chain;
#pragma GCC unroll 1
        for (int q = 0; q < 5; ++q)
            sixteenRounds<false>(s, schedule + 32 * q + 2, w, schedule, 0);
        feedForward(chain, s);
        blocks -= 2;
        data += 256;
    }
    state[0] = chain.a, state[1] = chain.b, state[2] = chain.c, state[3] = chain.d;
    state[4] = chain.e, state[5] = chain.f, state[6] = chain.g, state[7] = chain.h;
}
