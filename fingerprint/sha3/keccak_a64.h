// Keccak-f[1600] on AArch64 vector registers, one state in the low lane of 25 Q registers or two states in
// both lanes, written once: with the ARMv8.2 SHA-3 instructions where the including file is built with
// them (EOR3 for the column parities, RAX1 for D, XAR for theta's XOR and rho's rotation in one, BCAX for
// chi: 66 instructions a round), with plain Advanced SIMD otherwise (a rotation is SHL and SRI). Each file
// that includes it compiles its own copy with its flags; the anonymous namespace keeps those copies apart,
// so a processor without the SHA-3 instructions never runs that build.
#pragma once

#include <arm_neon.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fingerprint/sha3/keccak_constants.h"

namespace {

#ifdef __ARM_FEATURE_SHA3
[[gnu::always_inline]] inline uint64x2_t xor3(uint64x2_t a, uint64x2_t b, uint64x2_t c) {
    return veor3q_u64(a, b, c);
}
// a ^ ROTL(b, 1)
[[gnu::always_inline]] inline uint64x2_t rax1(uint64x2_t a, uint64x2_t b) {
    return vrax1q_u64(a, b);
}
// ROTL(a ^ d, N)
template <int N> [[gnu::always_inline]] inline uint64x2_t xorRotl(uint64x2_t a, uint64x2_t d) {
    return vxarq_u64(a, d, (64 - N) & 63);
}
// b0 ^ (~b1 & b2)
[[gnu::always_inline]] inline uint64x2_t chi(uint64x2_t b0, uint64x2_t b1, uint64x2_t b2) {
    return vbcaxq_u64(b0, b2, b1);
}
#else
[[gnu::always_inline]] inline uint64x2_t xor3(uint64x2_t a, uint64x2_t b, uint64x2_t c) {
    return veorq_u64(veorq_u64(a, b), c);
}
template <int N> [[gnu::always_inline]] inline uint64x2_t rotl(uint64x2_t x) {
    return vsriq_n_u64(vshlq_n_u64(x, N), x, 64 - N);
}
[[gnu::always_inline]] inline uint64x2_t rax1(uint64x2_t a, uint64x2_t b) {
    return veorq_u64(a, rotl<1>(b));
}
template <int N> [[gnu::always_inline]] inline uint64x2_t xorRotl(uint64x2_t a, uint64x2_t d) {
    if constexpr (N == 0)
        return veorq_u64(a, d);
    else
        return rotl<N>(veorq_u64(a, d));
}
[[gnu::always_inline]] inline uint64x2_t chi(uint64x2_t b0, uint64x2_t b1, uint64x2_t b2) {
    return veorq_u64(b0, vbicq_u64(b2, b1));
}
#endif

// The lanes of one or two states, lane (x, y) in axy; the names follow keccak_absorb.h.
struct KeccakVectors {
    uint64x2_t a00, a10, a20, a30, a40, a01, a11, a21, a31, a41, a02, a12, a22, a32, a42;
    uint64x2_t a03, a13, a23, a33, a43, a04, a14, a24, a34, a44;
};

// The 24 rounds (FIPS 202, 3.3), two per pass so that the second writes back into the first's inputs.
[[gnu::always_inline]] inline void permute(KeccakVectors& s) {
    uint64x2_t a00 = s.a00, a10 = s.a10, a20 = s.a20, a30 = s.a30, a40 = s.a40;
    uint64x2_t a01 = s.a01, a11 = s.a11, a21 = s.a21, a31 = s.a31, a41 = s.a41;
    uint64x2_t a02 = s.a02, a12 = s.a12, a22 = s.a22, a32 = s.a32, a42 = s.a42;
    uint64x2_t a03 = s.a03, a13 = s.a13, a23 = s.a23, a33 = s.a33, a43 = s.a43;
    uint64x2_t a04 = s.a04, a14 = s.a14, a24 = s.a24, a34 = s.a34, a44 = s.a44;
    uint64x2_t e00, e10, e20, e30, e40, e01, e11, e21, e31, e41, e02, e12, e22, e32, e42;
    uint64x2_t e03, e13, e23, e33, e43, e04, e14, e24, e34, e44;
    uint64x2_t b0, b1, b2, b3, b4, c0, c1, c2, c3, c4, d0, d1, d2, d3, d4;
    // clang-format off
#define HW_KECCAK_ROUND(A, E, RC)                                                                          \
    c0 = xor3(xor3(A##00, A##01, A##02), A##03, A##04);                                                    \
    c1 = xor3(xor3(A##10, A##11, A##12), A##13, A##14);                                                    \
    c2 = xor3(xor3(A##20, A##21, A##22), A##23, A##24);                                                    \
    c3 = xor3(xor3(A##30, A##31, A##32), A##33, A##34);                                                    \
    c4 = xor3(xor3(A##40, A##41, A##42), A##43, A##44);                                                    \
    d0 = rax1(c4, c1); d1 = rax1(c0, c2); d2 = rax1(c1, c3); d3 = rax1(c2, c4); d4 = rax1(c3, c0);        \
    b0 = xorRotl<0>(A##00, d0); b1 = xorRotl<44>(A##11, d1); b2 = xorRotl<43>(A##22, d2);                  \
    b3 = xorRotl<21>(A##33, d3); b4 = xorRotl<14>(A##44, d4);                                              \
    E##00 = veorq_u64(chi(b0, b1, b2), vdupq_n_u64(RC));                                                   \
    E##10 = chi(b1, b2, b3); E##20 = chi(b2, b3, b4); E##30 = chi(b3, b4, b0); E##40 = chi(b4, b0, b1);    \
    b0 = xorRotl<28>(A##30, d3); b1 = xorRotl<20>(A##41, d4); b2 = xorRotl<3>(A##02, d0);                  \
    b3 = xorRotl<45>(A##13, d1); b4 = xorRotl<61>(A##24, d2);                                              \
    E##01 = chi(b0, b1, b2); E##11 = chi(b1, b2, b3); E##21 = chi(b2, b3, b4);                             \
    E##31 = chi(b3, b4, b0); E##41 = chi(b4, b0, b1);                                                      \
    b0 = xorRotl<1>(A##10, d1); b1 = xorRotl<6>(A##21, d2); b2 = xorRotl<25>(A##32, d3);                   \
    b3 = xorRotl<8>(A##43, d4); b4 = xorRotl<18>(A##04, d0);                                               \
    E##02 = chi(b0, b1, b2); E##12 = chi(b1, b2, b3); E##22 = chi(b2, b3, b4);                             \
    E##32 = chi(b3, b4, b0); E##42 = chi(b4, b0, b1);                                                      \
    b0 = xorRotl<27>(A##40, d4); b1 = xorRotl<36>(A##01, d0); b2 = xorRotl<10>(A##12, d1);                 \
    b3 = xorRotl<15>(A##23, d2); b4 = xorRotl<56>(A##34, d3);                                              \
    E##03 = chi(b0, b1, b2); E##13 = chi(b1, b2, b3); E##23 = chi(b2, b3, b4);                             \
    E##33 = chi(b3, b4, b0); E##43 = chi(b4, b0, b1);                                                      \
    b0 = xorRotl<62>(A##20, d2); b1 = xorRotl<55>(A##31, d3); b2 = xorRotl<39>(A##42, d4);                 \
    b3 = xorRotl<41>(A##03, d0); b4 = xorRotl<2>(A##14, d1);                                               \
    E##04 = chi(b0, b1, b2); E##14 = chi(b1, b2, b3); E##24 = chi(b2, b3, b4);                             \
    E##34 = chi(b3, b4, b0); E##44 = chi(b4, b0, b1);
    // clang-format on
    for (int round = 0; round < 24; round += 2) {
        HW_KECCAK_ROUND(a, e, KeccakRoundConstants[round])
        HW_KECCAK_ROUND(e, a, KeccakRoundConstants[round + 1])
    }
#undef HW_KECCAK_ROUND
    s = {a00, a10, a20, a30, a40, a01, a11, a21, a31, a41, a02, a12, a22,
         a32, a42, a03, a13, a23, a33, a43, a04, a14, a24, a34, a44};
}

// Every lane with its word's place in memory (lane (x, y) is word x + 5y), for statements written once
// for all 25: each names its lane, so the state stays in registers.
// clang-format off
#define HW_KECCAK_EACH_WORD(X)                                                                             \
    X(0, a00) X(1, a10) X(2, a20) X(3, a30) X(4, a40) X(5, a01) X(6, a11) X(7, a21) X(8, a31) X(9, a41)    \
    X(10, a02) X(11, a12) X(12, a22) X(13, a32) X(14, a42) X(15, a03) X(16, a13) X(17, a23) X(18, a33)     \
    X(19, a43) X(20, a04) X(21, a14) X(22, a24) X(23, a34) X(24, a44)
// clang-format on

// XORs words `from` to `to` - 1 of the next block, as `load` makes them (word w of each state in that
// state's lane), into the state. Each case falls through to the next lower word, so a jump enters at the
// rate's last word and reads nothing past it.
template <typename Load>
[[gnu::always_inline]] inline void xorWords(KeccakVectors& s, int from, int to, Load load) {
    // clang-format off
    switch (to) {
    case 25: if (24 < from) break; s.a44 = veorq_u64(s.a44, load(24)); [[fallthrough]];
    case 24: if (23 < from) break; s.a34 = veorq_u64(s.a34, load(23)); [[fallthrough]];
    case 23: if (22 < from) break; s.a24 = veorq_u64(s.a24, load(22)); [[fallthrough]];
    case 22: if (21 < from) break; s.a14 = veorq_u64(s.a14, load(21)); [[fallthrough]];
    case 21: if (20 < from) break; s.a04 = veorq_u64(s.a04, load(20)); [[fallthrough]];
    case 20: if (19 < from) break; s.a43 = veorq_u64(s.a43, load(19)); [[fallthrough]];
    case 19: if (18 < from) break; s.a33 = veorq_u64(s.a33, load(18)); [[fallthrough]];
    case 18: if (17 < from) break; s.a23 = veorq_u64(s.a23, load(17)); [[fallthrough]];
    case 17: if (16 < from) break; s.a13 = veorq_u64(s.a13, load(16)); [[fallthrough]];
    case 16: if (15 < from) break; s.a03 = veorq_u64(s.a03, load(15)); [[fallthrough]];
    case 15: if (14 < from) break; s.a42 = veorq_u64(s.a42, load(14)); [[fallthrough]];
    case 14: if (13 < from) break; s.a32 = veorq_u64(s.a32, load(13)); [[fallthrough]];
    case 13: if (12 < from) break; s.a22 = veorq_u64(s.a22, load(12)); [[fallthrough]];
    case 12: if (11 < from) break; s.a12 = veorq_u64(s.a12, load(11)); [[fallthrough]];
    case 11: if (10 < from) break; s.a02 = veorq_u64(s.a02, load(10)); [[fallthrough]];
    case 10: if (9 < from) break; s.a41 = veorq_u64(s.a41, load(9)); [[fallthrough]];
    case 9: if (8 < from) break; s.a31 = veorq_u64(s.a31, load(8)); [[fallthrough]];
    case 8: if (7 < from) break; s.a21 = veorq_u64(s.a21, load(7)); [[fallthrough]];
    case 7: if (6 < from) break; s.a11 = veorq_u64(s.a11, load(6)); [[fallthrough]];
    case 6: if (5 < from) break; s.a01 = veorq_u64(s.a01, load(5)); [[fallthrough]];
    case 5: if (4 < from) break; s.a40 = veorq_u64(s.a40, load(4)); [[fallthrough]];
    case 4: if (3 < from) break; s.a30 = veorq_u64(s.a30, load(3)); [[fallthrough]];
    case 3: if (2 < from) break; s.a20 = veorq_u64(s.a20, load(2)); [[fallthrough]];
    case 2: if (1 < from) break; s.a10 = veorq_u64(s.a10, load(1)); [[fallthrough]];
    case 1: if (0 < from) break; s.a00 = veorq_u64(s.a00, load(0)); break;
    default: break;
    }
    // clang-format on
}

// Lanes are little-endian in the byte stream (FIPS 202, B.1), as AArch64 Linux is.
[[gnu::always_inline]] inline uint64x1_t loadWord(const uint8_t* p, int w) {
    return vreinterpret_u64_u8(vld1_u8(p + 8 * w));
}

// One state in the low lanes: the single-state absorb (Keccak1600AbsorbFn).
[[gnu::always_inline]] inline void keccakAbsorbOne(uint64_t lanes[25], const uint8_t* data,
                                                   std::size_t blocks, std::size_t rate) {
    KeccakVectors s;
    const uint64x1_t zero = vdup_n_u64(0);
#define HW_LOAD(w, lane) s.lane = vcombine_u64(vld1_u64(lanes + w), zero);
    HW_KECCAK_EACH_WORD(HW_LOAD)
#undef HW_LOAD
    const int words = static_cast<int>(rate / 8);
    for (; blocks > 0; --blocks, data += rate) {
        xorWords(s, 0, words, [&](int w) { return vcombine_u64(loadWord(data, w), zero); });
        permute(s);
    }
#define HW_STORE(w, lane) vst1_u64(lanes + w, vget_low_u64(s.lane));
    HW_KECCAK_EACH_WORD(HW_STORE)
#undef HW_STORE
}

// Two states side by side (Keccak1600AbsorbLanesFn with two lanes): both step together while both have
// blocks, and the blocks one has past the other go through the single-state absorb above.
[[gnu::always_inline]] inline void keccakAbsorbTwo(uint64_t* words, const uint8_t* const data[],
                                                   const std::size_t blocks[], const std::size_t rates[]) {
    const std::size_t both = std::min(blocks[0], blocks[1]);
    if (both > 0) {
        KeccakVectors s;
#define HW_LOAD(w, lane) s.lane = vld1q_u64(words + 2 * w);
        HW_KECCAK_EACH_WORD(HW_LOAD)
#undef HW_LOAD
        const uint8_t* p0 = data[0];
        const uint8_t* p1 = data[1];
        const int n0 = static_cast<int>(rates[0] / 8), n1 = static_cast<int>(rates[1] / 8);
        const int common = std::min(n0, n1);
        // The words that only the wider rate takes, in its lane: the other lane's half is masked off.
        const uint8_t* const* wider = n0 > n1 ? &p0 : &p1;
        const uint64x2_t widerLane = n0 > n1 ? vcombine_u64(vdup_n_u64(~0ull), vdup_n_u64(0))
                                             : vcombine_u64(vdup_n_u64(0), vdup_n_u64(~0ull));
        for (std::size_t step = 0; step < both; ++step) {
            xorWords(s, 0, common, [&](int w) { return vcombine_u64(loadWord(p0, w), loadWord(p1, w)); });
            if (n0 != n1)
                xorWords(s, common, std::max(n0, n1), [&](int w) {
                    return vandq_u64(vld1q_dup_u64(reinterpret_cast<const uint64_t*>(*wider + 8 * w)),
                                     widerLane);
                });
            permute(s);
            p0 += rates[0];
            p1 += rates[1];
        }
#define HW_STORE(w, lane) vst1q_u64(words + 2 * w, s.lane);
        HW_KECCAK_EACH_WORD(HW_STORE)
#undef HW_STORE
    }
    for (std::size_t lane = 0; lane < 2; ++lane) {
        if (blocks[lane] == both) continue;
        uint64_t state[25];
        for (std::size_t w = 0; w < 25; ++w)
            state[w] = words[2 * w + lane];
        keccakAbsorbOne(state, data[lane] + both * rates[lane], blocks[lane] - both, rates[lane]);
        for (std::size_t w = 0; w < 25; ++w)
            words[2 * w + lane] = state[w];
    }
}

} // namespace
