// Keccak-f[1600] on four states side by side, one 64-bit lane of a 256-bit register each, written once
// for AVX2 and for AVX-512VL: each file that includes it compiles its own copy with its flags, and the
// anonymous namespace keeps those copies apart (as keccak_absorb.h does for the single state).
#pragma once

#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fingerprint/sha3/keccak_constants.h"

namespace {

constexpr std::size_t LaneCount = 4;

// Where a state with no block left points: its loads are masked by its rate, and what they read no
// longer counts, as its words were stored when its last block was done.
alignas(32) constexpr uint8_t IdleBlock[224] = {};

template <int N> [[gnu::always_inline]] inline __m256i rotl(__m256i x) {
#ifdef __AVX512VL__
    return _mm256_rol_epi64(x, N);
#else
    if constexpr (N == 8 || N == 56) {
        // A rotation by whole bytes is one shuffle within each 64-bit lane instead of two shifts and an or.
        constexpr long long Up = 0x0605040302010007, Down = 0x0007060504030201;
        const long long first = N == 8 ? Up : Down;
        const __m256i order = _mm256_setr_epi64x(first, first + 0x0808080808080808, first, first + 0x0808080808080808);
        return _mm256_shuffle_epi8(x, order);
    } else {
        return _mm256_or_si256(_mm256_slli_epi64(x, N), _mm256_srli_epi64(x, 64 - N));
    }
#endif
}

// b0 ^ (~b1 & b2): chi on one lane.
[[gnu::always_inline]] inline __m256i chi(__m256i b0, __m256i b1, __m256i b2) {
#ifdef __AVX512VL__
    return _mm256_ternarylogic_epi64(b0, b1, b2, 0xD2);
#else
    return _mm256_xor_si256(b0, _mm256_andnot_si256(b1, b2));
#endif
}

[[gnu::always_inline]] inline __m256i xor5(__m256i a, __m256i b, __m256i c, __m256i d, __m256i e) {
#ifdef __AVX512VL__
    return _mm256_ternarylogic_epi64(_mm256_ternarylogic_epi64(a, b, c, 0x96), d, e, 0x96);
#else
    return _mm256_xor_si256(_mm256_xor_si256(_mm256_xor_si256(a, b), _mm256_xor_si256(c, d)), e);
#endif
}

[[gnu::always_inline]] inline __m256i load(const uint64_t* words, int w) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(words + LaneCount * w));
}

// Word w of the states whose lane is set in `keep`; the other states' words stay as they are.
[[gnu::always_inline]] inline void storeLanes(uint64_t* words, int w, __m256i keep, __m256i value) {
    _mm256_maskstore_epi64(reinterpret_cast<long long*>(words + LaneCount * w), keep, value);
}

// Words `first` to first + 3 of each state's next block, one register per word. A word past a state's
// rate is masked off and never read, so a block may end against a page that cannot be read.
[[gnu::always_inline]] inline void transposeLoad(const uint8_t* const p[LaneCount], int first, const __m256i mask[LaneCount],
                                                 __m256i w[4]) {
    const __m256i r0 = _mm256_maskload_epi64(reinterpret_cast<const long long*>(p[0] + 8 * first), mask[0]);
    const __m256i r1 = _mm256_maskload_epi64(reinterpret_cast<const long long*>(p[1] + 8 * first), mask[1]);
    const __m256i r2 = _mm256_maskload_epi64(reinterpret_cast<const long long*>(p[2] + 8 * first), mask[2]);
    const __m256i r3 = _mm256_maskload_epi64(reinterpret_cast<const long long*>(p[3] + 8 * first), mask[3]);
    const __m256i t0 = _mm256_unpacklo_epi64(r0, r1), t1 = _mm256_unpackhi_epi64(r0, r1);
    const __m256i t2 = _mm256_unpacklo_epi64(r2, r3), t3 = _mm256_unpackhi_epi64(r2, r3);
    w[0] = _mm256_permute2x128_si256(t0, t2, 0x20);
    w[1] = _mm256_permute2x128_si256(t1, t3, 0x20);
    w[2] = _mm256_permute2x128_si256(t0, t2, 0x31);
    w[3] = _mm256_permute2x128_si256(t1, t3, 0x31);
}

// The kernel behind Keccak1600AbsorbLanesFn (kernels.h) for four lanes. The states run in steps of one
// shared permutation; a state takes part until its blocks are done, then its words are stored and it
// idles to the end of the call. Lanes are little-endian in the byte stream (FIPS 202, B.1), as x86 is.
[[gnu::always_inline]] inline void keccakAbsorbLanes(uint64_t* words, const uint8_t* const data[],
                                                     const std::size_t blocks[], const std::size_t rates[]) {
    const uint8_t* p[LaneCount];
    std::size_t step[LaneCount];
    std::size_t steps = 0;
    int groups = 0; // of four words: as many as the widest rate needs
    __m256i masks[7][LaneCount];
    for (std::size_t j = 0; j < LaneCount; ++j) {
        const bool busy = blocks[j] > 0;
        p[j] = busy ? data[j] : IdleBlock;
        step[j] = busy ? rates[j] : 0;
        const long long lanes = busy ? static_cast<long long>(rates[j] / 8) : 0;
        steps = std::max(steps, busy ? blocks[j] : 0);
        groups = std::max(groups, static_cast<int>((lanes + 3) / 4));
        for (int g = 0; g < 7; ++g)
            masks[g][j] = _mm256_cmpgt_epi64(_mm256_set1_epi64x(lanes), _mm256_setr_epi64x(4 * g, 4 * g + 1, 4 * g + 2, 4 * g + 3));
    }
    if (steps == 0) return;

    __m256i a00 = load(words, 0), a10 = load(words, 1), a20 = load(words, 2), a30 = load(words, 3), a40 = load(words, 4);
    __m256i a01 = load(words, 5), a11 = load(words, 6), a21 = load(words, 7), a31 = load(words, 8), a41 = load(words, 9);
    __m256i a02 = load(words, 10), a12 = load(words, 11), a22 = load(words, 12), a32 = load(words, 13), a42 = load(words, 14);
    __m256i a03 = load(words, 15), a13 = load(words, 16), a23 = load(words, 17), a33 = load(words, 18), a43 = load(words, 19);
    __m256i a04 = load(words, 20), a14 = load(words, 21), a24 = load(words, 22), a34 = load(words, 23), a44 = load(words, 24);
    __m256i e00, e10, e20, e30, e40, e01, e11, e21, e31, e41, e02, e12, e22, e32, e42;
    __m256i e03, e13, e23, e33, e43, e04, e14, e24, e34, e44;
    __m256i b0, b1, b2, b3, b4, c0, c1, c2, c3, c4, d0, d1, d2, d3, d4;
    __m256i w[4];

    for (std::size_t done = 0;;) {
        // Up to the next state to run out of blocks.
        std::size_t until = steps;
        for (std::size_t j = 0; j < LaneCount; ++j)
            if (blocks[j] > done) until = std::min(until, blocks[j]);
        for (; done < until; ++done) {
            if (groups > 0) {
                transposeLoad(p, 0, masks[0], w);
                a00 = _mm256_xor_si256(a00, w[0]);
                a10 = _mm256_xor_si256(a10, w[1]);
                a20 = _mm256_xor_si256(a20, w[2]);
                a30 = _mm256_xor_si256(a30, w[3]);
            }
            if (groups > 1) {
                transposeLoad(p, 4, masks[1], w);
                a40 = _mm256_xor_si256(a40, w[0]);
                a01 = _mm256_xor_si256(a01, w[1]);
                a11 = _mm256_xor_si256(a11, w[2]);
                a21 = _mm256_xor_si256(a21, w[3]);
            }
            if (groups > 2) {
                transposeLoad(p, 8, masks[2], w);
                a31 = _mm256_xor_si256(a31, w[0]);
                a41 = _mm256_xor_si256(a41, w[1]);
                a02 = _mm256_xor_si256(a02, w[2]);
                a12 = _mm256_xor_si256(a12, w[3]);
            }
            if (groups > 3) {
                transposeLoad(p, 12, masks[3], w);
                a22 = _mm256_xor_si256(a22, w[0]);
                a32 = _mm256_xor_si256(a32, w[1]);
                a42 = _mm256_xor_si256(a42, w[2]);
                a03 = _mm256_xor_si256(a03, w[3]);
            }
            if (groups > 4) {
                transposeLoad(p, 16, masks[4], w);
                a13 = _mm256_xor_si256(a13, w[0]);
                a23 = _mm256_xor_si256(a23, w[1]);
                a33 = _mm256_xor_si256(a33, w[2]);
                a43 = _mm256_xor_si256(a43, w[3]);
            }
            if (groups > 5) {
                transposeLoad(p, 20, masks[5], w);
                a04 = _mm256_xor_si256(a04, w[0]);
                a14 = _mm256_xor_si256(a14, w[1]);
                a24 = _mm256_xor_si256(a24, w[2]);
                a34 = _mm256_xor_si256(a34, w[3]);
            }
            if (groups > 6) {
                transposeLoad(p, 24, masks[6], w);
                a44 = _mm256_xor_si256(a44, w[0]);
            }

            for (std::size_t j = 0; j < LaneCount; ++j)
                p[j] += step[j];
            for (int round = 0; round < 24; round += 2) {
                // theta
                c0 = xor5(a00, a01, a02, a03, a04);
                c1 = xor5(a10, a11, a12, a13, a14);
                c2 = xor5(a20, a21, a22, a23, a24);
                c3 = xor5(a30, a31, a32, a33, a34);
                c4 = xor5(a40, a41, a42, a43, a44);
                d0 = _mm256_xor_si256(c4, rotl<1>(c1));
                d1 = _mm256_xor_si256(c0, rotl<1>(c2));
                d2 = _mm256_xor_si256(c1, rotl<1>(c3));
                d3 = _mm256_xor_si256(c2, rotl<1>(c4));
                d4 = _mm256_xor_si256(c3, rotl<1>(c0));
                // rho, pi and chi of row 0
                b0 = _mm256_xor_si256(a00, d0);
                b1 = rotl<44>(_mm256_xor_si256(a11, d1));
                b2 = rotl<43>(_mm256_xor_si256(a22, d2));
                b3 = rotl<21>(_mm256_xor_si256(a33, d3));
                b4 = rotl<14>(_mm256_xor_si256(a44, d4));
                e00 = _mm256_xor_si256(chi(b0, b1, b2), _mm256_set1_epi64x(static_cast<long long>(KeccakRoundConstants[round])));
                e10 = chi(b1, b2, b3);
                e20 = chi(b2, b3, b4);
                e30 = chi(b3, b4, b0);
                e40 = chi(b4, b0, b1);
                // rho, pi and chi of row 1
                b0 = rotl<28>(_mm256_xor_si256(a30, d3));
                b1 = rotl<20>(_mm256_xor_si256(a41, d4));
                b2 = rotl<3>(_mm256_xor_si256(a02, d0));
                b3 = rotl<45>(_mm256_xor_si256(a13, d1));
                b4 = rotl<61>(_mm256_xor_si256(a24, d2));
                e01 = chi(b0, b1, b2);
                e11 = chi(b1, b2, b3);
                e21 = chi(b2, b3, b4);
                e31 = chi(b3, b4, b0);
                e41 = chi(b4, b0, b1);
                // rho, pi and chi of row 2
                b0 = rotl<1>(_mm256_xor_si256(a10, d1));
                b1 = rotl<6>(_mm256_xor_si256(a21, d2));
                b2 = rotl<25>(_mm256_xor_si256(a32, d3));
                b3 = rotl<8>(_mm256_xor_si256(a43, d4));
                b4 = rotl<18>(_mm256_xor_si256(a04, d0));
                e02 = chi(b0, b1, b2);
                e12 = chi(b1, b2, b3);
                e22 = chi(b2, b3, b4);
                e32 = chi(b3, b4, b0);
                e42 = chi(b4, b0, b1);
                // rho, pi and chi of row 3
                b0 = rotl<27>(_mm256_xor_si256(a40, d4));
                b1 = rotl<36>(_mm256_xor_si256(a01, d0));
                b2 = rotl<10>(_mm256_xor_si256(a12, d1));
                b3 = rotl<15>(_mm256_xor_si256(a23, d2));
                b4 = rotl<56>(_mm256_xor_si256(a34, d3));
                e03 = chi(b0, b1, b2);
                e13 = chi(b1, b2, b3);
                e23 = chi(b2, b3, b4);
                e33 = chi(b3, b4, b0);
                e43 = chi(b4, b0, b1);
                // rho, pi and chi of row 4
                b0 = rotl<62>(_mm256_xor_si256(a20, d2));
                b1 = rotl<55>(_mm256_xor_si256(a31, d3));
                b2 = rotl<39>(_mm256_xor_si256(a42, d4));
                b3 = rotl<41>(_mm256_xor_si256(a03, d0));
                b4 = rotl<2>(_mm256_xor_si256(a14, d1));
                e04 = chi(b0, b1, b2);
                e14 = chi(b1, b2, b3);
                e24 = chi(b2, b3, b4);
                e34 = chi(b3, b4, b0);
                e44 = chi(b4, b0, b1);
                // theta
                c0 = xor5(e00, e01, e02, e03, e04);
                c1 = xor5(e10, e11, e12, e13, e14);
                c2 = xor5(e20, e21, e22, e23, e24);
                c3 = xor5(e30, e31, e32, e33, e34);
                c4 = xor5(e40, e41, e42, e43, e44);
                d0 = _mm256_xor_si256(c4, rotl<1>(c1));
                d1 = _mm256_xor_si256(c0, rotl<1>(c2));
                d2 = _mm256_xor_si256(c1, rotl<1>(c3));
                d3 = _mm256_xor_si256(c2, rotl<1>(c4));
                d4 = _mm256_xor_si256(c3, rotl<1>(c0));
                // rho, pi and chi of row 0
                b0 = _mm256_xor_si256(e00, d0);
                b1 = rotl<44>(_mm256_xor_si256(e11, d1));
                b2 = rotl<43>(_mm256_xor_si256(e22, d2));
                b3 = rotl<21>(_mm256_xor_si256(e33, d3));
                b4 = rotl<14>(_mm256_xor_si256(e44, d4));
                a00 = _mm256_xor_si256(chi(b0, b1, b2), _mm256_set1_epi64x(static_cast<long long>(KeccakRoundConstants[round + 1])));
                a10 = chi(b1, b2, b3);
                a20 = chi(b2, b3, b4);
                a30 = chi(b3, b4, b0);
                a40 = chi(b4, b0, b1);
                // rho, pi and chi of row 1
                b0 = rotl<28>(_mm256_xor_si256(e30, d3));
                b1 = rotl<20>(_mm256_xor_si256(e41, d4));
                b2 = rotl<3>(_mm256_xor_si256(e02, d0));
                b3 = rotl<45>(_mm256_xor_si256(e13, d1));
                b4 = rotl<61>(_mm256_xor_si256(e24, d2));
                a01 = chi(b0, b1, b2);
                a11 = chi(b1, b2, b3);
                a21 = chi(b2, b3, b4);
                a31 = chi(b3, b4, b0);
                a41 = chi(b4, b0, b1);
                // rho, pi and chi of row 2
                b0 = rotl<1>(_mm256_xor_si256(e10, d1));
                b1 = rotl<6>(_mm256_xor_si256(e21, d2));
                b2 = rotl<25>(_mm256_xor_si256(e32, d3));
                b3 = rotl<8>(_mm256_xor_si256(e43, d4));
                b4 = rotl<18>(_mm256_xor_si256(e04, d0));
                a02 = chi(b0, b1, b2);
                a12 = chi(b1, b2, b3);
                a22 = chi(b2, b3, b4);
                a32 = chi(b3, b4, b0);
                a42 = chi(b4, b0, b1);
                // rho, pi and chi of row 3
                b0 = rotl<27>(_mm256_xor_si256(e40, d4));
                b1 = rotl<36>(_mm256_xor_si256(e01, d0));
                b2 = rotl<10>(_mm256_xor_si256(e12, d1));
                b3 = rotl<15>(_mm256_xor_si256(e23, d2));
                b4 = rotl<56>(_mm256_xor_si256(e34, d3));
                a03 = chi(b0, b1, b2);
                a13 = chi(b1, b2, b3);
                a23 = chi(b2, b3, b4);
                a33 = chi(b3, b4, b0);
                a43 = chi(b4, b0, b1);
                // rho, pi and chi of row 4
                b0 = rotl<62>(_mm256_xor_si256(e20, d2));
                b1 = rotl<55>(_mm256_xor_si256(e31, d3));
                b2 = rotl<39>(_mm256_xor_si256(e42, d4));
                b3 = rotl<41>(_mm256_xor_si256(e03, d0));
                b4 = rotl<2>(_mm256_xor_si256(e14, d1));
                a04 = chi(b0, b1, b2);
                a14 = chi(b1, b2, b3);
                a24 = chi(b2, b3, b4);
                a34 = chi(b3, b4, b0);
                a44 = chi(b4, b0, b1);
            }
        }
        // The states whose last block this was keep the words they have now.
        const __m256i keep = _mm256_setr_epi64x(blocks[0] == done ? -1 : 0, blocks[1] == done ? -1 : 0,
                                                blocks[2] == done ? -1 : 0, blocks[3] == done ? -1 : 0);
        storeLanes(words, 0, keep, a00); storeLanes(words, 1, keep, a10); storeLanes(words, 2, keep, a20); storeLanes(words, 3, keep, a30); storeLanes(words, 4, keep, a40);
        storeLanes(words, 5, keep, a01); storeLanes(words, 6, keep, a11); storeLanes(words, 7, keep, a21); storeLanes(words, 8, keep, a31); storeLanes(words, 9, keep, a41);
        storeLanes(words, 10, keep, a02); storeLanes(words, 11, keep, a12); storeLanes(words, 12, keep, a22); storeLanes(words, 13, keep, a32); storeLanes(words, 14, keep, a42);
        storeLanes(words, 15, keep, a03); storeLanes(words, 16, keep, a13); storeLanes(words, 17, keep, a23); storeLanes(words, 18, keep, a33); storeLanes(words, 19, keep, a43);
        storeLanes(words, 20, keep, a04); storeLanes(words, 21, keep, a14); storeLanes(words, 22, keep, a24); storeLanes(words, 23, keep, a34); storeLanes(words, 24, keep, a44);
        if (done == steps) break;
        for (std::size_t j = 0; j < LaneCount; ++j)
            if (blocks[j] == done) p[j] = IdleBlock, step[j] = 0;
    }
}

} // namespace
