// Two Keccak-f[1600] states in the Q registers of 32-bit ARM NEON, one permutation for both: each
// instruction works on a lane of each state. The 25 words of two states take 25 Q registers, more than
// the 16 there are, so the compiler keeps some in memory; on an out-of-order core the loads and stores
// run beside the arithmetic, which Q registers do at the cost of D registers.
#include <arm_neon.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fingerprint/sha3/keccak_accelerated.h"
#include "fingerprint/sha3/keccak_constants.h"

namespace {

constexpr std::size_t LaneCount = 2;

template <int N> [[gnu::always_inline]] inline uint64x2_t rotl(uint64x2_t x) {
    return vsriq_n_u64(vshlq_n_u64(x, N), x, 64 - N);
}

// b0 ^ (~b1 & b2): chi on one lane.
[[gnu::always_inline]] inline uint64x2_t chi(uint64x2_t b0, uint64x2_t b1, uint64x2_t b2) {
    return veorq_u64(b0, vbicq_u64(b2, b1));
}

[[gnu::always_inline]] inline uint64x2_t xor5(uint64x2_t a, uint64x2_t b, uint64x2_t c, uint64x2_t d, uint64x2_t e) {
    return veorq_u64(veorq_u64(veorq_u64(a, b), veorq_u64(c, d)), e);
}

// Word w of each state's next block; zero for a state whose rate ends before it, which is never read.
// Lanes are little-endian in the byte stream (FIPS 202, B.1), as ARM Linux is.
[[gnu::always_inline]] inline uint64x2_t blockWord(const uint8_t* const p[LaneCount], const std::size_t lanes[LaneCount],
                                                   std::size_t w) {
    const uint64x1_t zero = vdup_n_u64(0);
    const uint64x1_t first = w < lanes[0] ? vreinterpret_u64_u8(vld1_u8(p[0] + 8 * w)) : zero;
    const uint64x1_t second = w < lanes[1] ? vreinterpret_u64_u8(vld1_u8(p[1] + 8 * w)) : zero;
    return vcombine_u64(first, second);
}

[[gnu::always_inline]] inline void storeLane(uint64_t* words, std::size_t w, std::size_t lane, uint64x2_t value) {
    if (lane == 0)
        vst1q_lane_u64(words + LaneCount * w, value, 0);
    else
        vst1q_lane_u64(words + LaneCount * w + 1, value, 1);
}

} // namespace

void keccak1600AbsorbLanesNeon(uint64_t* words, const uint8_t* const data[], const std::size_t blocks[],
                               const std::size_t rates[]) {
    const uint8_t* p[LaneCount];
    std::size_t lanes[LaneCount]; // words of the rate; 0 once the state's blocks are done
    std::size_t steps = 0;
    for (std::size_t j = 0; j < LaneCount; ++j) {
        p[j] = data[j];
        lanes[j] = blocks[j] > 0 ? rates[j] / 8 : 0;
        steps = std::max(steps, blocks[j]);
    }
    if (steps == 0) return;
    std::size_t widest = std::max(lanes[0], lanes[1]);

    uint64x2_t a00 = vld1q_u64(words + 2 * 0), a10 = vld1q_u64(words + 2 * 1), a20 = vld1q_u64(words + 2 * 2), a30 = vld1q_u64(words + 2 * 3), a40 = vld1q_u64(words + 2 * 4);
    uint64x2_t a01 = vld1q_u64(words + 2 * 5), a11 = vld1q_u64(words + 2 * 6), a21 = vld1q_u64(words + 2 * 7), a31 = vld1q_u64(words + 2 * 8), a41 = vld1q_u64(words + 2 * 9);
    uint64x2_t a02 = vld1q_u64(words + 2 * 10), a12 = vld1q_u64(words + 2 * 11), a22 = vld1q_u64(words + 2 * 12), a32 = vld1q_u64(words + 2 * 13), a42 = vld1q_u64(words + 2 * 14);
    uint64x2_t a03 = vld1q_u64(words + 2 * 15), a13 = vld1q_u64(words + 2 * 16), a23 = vld1q_u64(words + 2 * 17), a33 = vld1q_u64(words + 2 * 18), a43 = vld1q_u64(words + 2 * 19);
    uint64x2_t a04 = vld1q_u64(words + 2 * 20), a14 = vld1q_u64(words + 2 * 21), a24 = vld1q_u64(words + 2 * 22), a34 = vld1q_u64(words + 2 * 23), a44 = vld1q_u64(words + 2 * 24);
    uint64x2_t e00, e10, e20, e30, e40, e01, e11, e21, e31, e41, e02, e12, e22, e32, e42;
    uint64x2_t e03, e13, e23, e33, e43, e04, e14, e24, e34, e44;
    uint64x2_t b0, b1, b2, b3, b4, c0, c1, c2, c3, c4, d0, d1, d2, d3, d4;

    for (std::size_t done = 0;;) {
        // Up to the next state to run out of blocks.
        std::size_t until = steps;
        for (std::size_t j = 0; j < LaneCount; ++j)
            if (blocks[j] > done) until = std::min(until, blocks[j]);
        for (; done < until; ++done) {
            if (widest > 0) a00 = veorq_u64(a00, blockWord(p, lanes, 0));
            if (widest > 1) a10 = veorq_u64(a10, blockWord(p, lanes, 1));
            if (widest > 2) a20 = veorq_u64(a20, blockWord(p, lanes, 2));
            if (widest > 3) a30 = veorq_u64(a30, blockWord(p, lanes, 3));
            if (widest > 4) a40 = veorq_u64(a40, blockWord(p, lanes, 4));
            if (widest > 5) a01 = veorq_u64(a01, blockWord(p, lanes, 5));
            if (widest > 6) a11 = veorq_u64(a11, blockWord(p, lanes, 6));
            if (widest > 7) a21 = veorq_u64(a21, blockWord(p, lanes, 7));
            if (widest > 8) a31 = veorq_u64(a31, blockWord(p, lanes, 8));
            if (widest > 9) a41 = veorq_u64(a41, blockWord(p, lanes, 9));
            if (widest > 10) a02 = veorq_u64(a02, blockWord(p, lanes, 10));
            if (widest > 11) a12 = veorq_u64(a12, blockWord(p, lanes, 11));
            if (widest > 12) a22 = veorq_u64(a22, blockWord(p, lanes, 12));
            if (widest > 13) a32 = veorq_u64(a32, blockWord(p, lanes, 13));
            if (widest > 14) a42 = veorq_u64(a42, blockWord(p, lanes, 14));
            if (widest > 15) a03 = veorq_u64(a03, blockWord(p, lanes, 15));
            if (widest > 16) a13 = veorq_u64(a13, blockWord(p, lanes, 16));
            if (widest > 17) a23 = veorq_u64(a23, blockWord(p, lanes, 17));
            if (widest > 18) a33 = veorq_u64(a33, blockWord(p, lanes, 18));
            if (widest > 19) a43 = veorq_u64(a43, blockWord(p, lanes, 19));
            if (widest > 20) a04 = veorq_u64(a04, blockWord(p, lanes, 20));
            if (widest > 21) a14 = veorq_u64(a14, blockWord(p, lanes, 21));
            if (widest > 22) a24 = veorq_u64(a24, blockWord(p, lanes, 22));
            if (widest > 23) a34 = veorq_u64(a34, blockWord(p, lanes, 23));
            if (widest > 24) a44 = veorq_u64(a44, blockWord(p, lanes, 24));
            p[0] += rates[0] * (lanes[0] != 0);
            p[1] += rates[1] * (lanes[1] != 0);
            for (int round = 0; round < 24; round += 2) {
                // theta
                c0 = xor5(a00, a01, a02, a03, a04);
                c1 = xor5(a10, a11, a12, a13, a14);
                c2 = xor5(a20, a21, a22, a23, a24);
                c3 = xor5(a30, a31, a32, a33, a34);
                c4 = xor5(a40, a41, a42, a43, a44);
                d0 = veorq_u64(c4, rotl<1>(c1));
                d1 = veorq_u64(c0, rotl<1>(c2));
                d2 = veorq_u64(c1, rotl<1>(c3));
                d3 = veorq_u64(c2, rotl<1>(c4));
                d4 = veorq_u64(c3, rotl<1>(c0));
                // rho, pi and chi of row 0
                b0 = veorq_u64(a00, d0);
                b1 = rotl<44>(veorq_u64(a11, d1));
                b2 = rotl<43>(veorq_u64(a22, d2));
                b3 = rotl<21>(veorq_u64(a33, d3));
                b4 = rotl<14>(veorq_u64(a44, d4));
                e00 = veorq_u64(chi(b0, b1, b2), vdupq_n_u64(KeccakRoundConstants[round]));
                e10 = chi(b1, b2, b3);
                e20 = chi(b2, b3, b4);
                e30 = chi(b3, b4, b0);
                e40 = chi(b4, b0, b1);
                // rho, pi and chi of row 1
                b0 = rotl<28>(veorq_u64(a30, d3));
                b1 = rotl<20>(veorq_u64(a41, d4));
                b2 = rotl<3>(veorq_u64(a02, d0));
                b3 = rotl<45>(veorq_u64(a13, d1));
                b4 = rotl<61>(veorq_u64(a24, d2));
                e01 = chi(b0, b1, b2);
                e11 = chi(b1, b2, b3);
                e21 = chi(b2, b3, b4);
                e31 = chi(b3, b4, b0);
                e41 = chi(b4, b0, b1);
                // rho, pi and chi of row 2
                b0 = rotl<1>(veorq_u64(a10, d1));
                b1 = rotl<6>(veorq_u64(a21, d2));
                b2 = rotl<25>(veorq_u64(a32, d3));
                b3 = rotl<8>(veorq_u64(a43, d4));
                b4 = rotl<18>(veorq_u64(a04, d0));
                e02 = chi(b0, b1, b2);
                e12 = chi(b1, b2, b3);
                e22 = chi(b2, b3, b4);
                e32 = chi(b3, b4, b0);
                e42 = chi(b4, b0, b1);
                // rho, pi and chi of row 3
                b0 = rotl<27>(veorq_u64(a40, d4));
                b1 = rotl<36>(veorq_u64(a01, d0));
                b2 = rotl<10>(veorq_u64(a12, d1));
                b3 = rotl<15>(veorq_u64(a23, d2));
                b4 = rotl<56>(veorq_u64(a34, d3));
                e03 = chi(b0, b1, b2);
                e13 = chi(b1, b2, b3);
                e23 = chi(b2, b3, b4);
                e33 = chi(b3, b4, b0);
                e43 = chi(b4, b0, b1);
                // rho, pi and chi of row 4
                b0 = rotl<62>(veorq_u64(a20, d2));
                b1 = rotl<55>(veorq_u64(a31, d3));
                b2 = rotl<39>(veorq_u64(a42, d4));
                b3 = rotl<41>(veorq_u64(a03, d0));
                b4 = rotl<2>(veorq_u64(a14, d1));
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
                d0 = veorq_u64(c4, rotl<1>(c1));
                d1 = veorq_u64(c0, rotl<1>(c2));
                d2 = veorq_u64(c1, rotl<1>(c3));
                d3 = veorq_u64(c2, rotl<1>(c4));
                d4 = veorq_u64(c3, rotl<1>(c0));
                // rho, pi and chi of row 0
                b0 = veorq_u64(e00, d0);
                b1 = rotl<44>(veorq_u64(e11, d1));
                b2 = rotl<43>(veorq_u64(e22, d2));
                b3 = rotl<21>(veorq_u64(e33, d3));
                b4 = rotl<14>(veorq_u64(e44, d4));
                a00 = veorq_u64(chi(b0, b1, b2), vdupq_n_u64(KeccakRoundConstants[round + 1]));
                a10 = chi(b1, b2, b3);
                a20 = chi(b2, b3, b4);
                a30 = chi(b3, b4, b0);
                a40 = chi(b4, b0, b1);
                // rho, pi and chi of row 1
                b0 = rotl<28>(veorq_u64(e30, d3));
                b1 = rotl<20>(veorq_u64(e41, d4));
                b2 = rotl<3>(veorq_u64(e02, d0));
                b3 = rotl<45>(veorq_u64(e13, d1));
                b4 = rotl<61>(veorq_u64(e24, d2));
                a01 = chi(b0, b1, b2);
                a11 = chi(b1, b2, b3);
                a21 = chi(b2, b3, b4);
                a31 = chi(b3, b4, b0);
                a41 = chi(b4, b0, b1);
                // rho, pi and chi of row 2
                b0 = rotl<1>(veorq_u64(e10, d1));
                b1 = rotl<6>(veorq_u64(e21, d2));
                b2 = rotl<25>(veorq_u64(e32, d3));
                b3 = rotl<8>(veorq_u64(e43, d4));
                b4 = rotl<18>(veorq_u64(e04, d0));
                a02 = chi(b0, b1, b2);
                a12 = chi(b1, b2, b3);
                a22 = chi(b2, b3, b4);
                a32 = chi(b3, b4, b0);
                a42 = chi(b4, b0, b1);
                // rho, pi and chi of row 3
                b0 = rotl<27>(veorq_u64(e40, d4));
                b1 = rotl<36>(veorq_u64(e01, d0));
                b2 = rotl<10>(veorq_u64(e12, d1));
                b3 = rotl<15>(veorq_u64(e23, d2));
                b4 = rotl<56>(veorq_u64(e34, d3));
                a03 = chi(b0, b1, b2);
                a13 = chi(b1, b2, b3);
                a23 = chi(b2, b3, b4);
                a33 = chi(b3, b4, b0);
                a43 = chi(b4, b0, b1);
                // rho, pi and chi of row 4
                b0 = rotl<62>(veorq_u64(e20, d2));
                b1 = rotl<55>(veorq_u64(e31, d3));
                b2 = rotl<39>(veorq_u64(e42, d4));
                b3 = rotl<41>(veorq_u64(e03, d0));
                b4 = rotl<2>(veorq_u64(e14, d1));
                a04 = chi(b0, b1, b2);
                a14 = chi(b1, b2, b3);
                a24 = chi(b2, b3, b4);
                a34 = chi(b3, b4, b0);
                a44 = chi(b4, b0, b1);
            }
        }
        // The states whose last block this was keep the words they have now and read no more.
        for (std::size_t lane = 0; lane < LaneCount; ++lane) {
            if (blocks[lane] != done) continue;
            storeLane(words, 0, lane, a00);
            storeLane(words, 1, lane, a10);
            storeLane(words, 2, lane, a20);
            storeLane(words, 3, lane, a30);
            storeLane(words, 4, lane, a40);
            storeLane(words, 5, lane, a01);
            storeLane(words, 6, lane, a11);
            storeLane(words, 7, lane, a21);
            storeLane(words, 8, lane, a31);
            storeLane(words, 9, lane, a41);
            storeLane(words, 10, lane, a02);
            storeLane(words, 11, lane, a12);
            storeLane(words, 12, lane, a22);
            storeLane(words, 13, lane, a32);
            storeLane(words, 14, lane, a42);
            storeLane(words, 15, lane, a03);
            storeLane(words, 16, lane, a13);
            storeLane(words, 17, lane, a23);
            storeLane(words, 18, lane, a33);
            storeLane(words, 19, lane, a43);
            storeLane(words, 20, lane, a04);
            storeLane(words, 21, lane, a14);
            storeLane(words, 22, lane, a24);
            storeLane(words, 23, lane, a34);
            storeLane(words, 24, lane, a44);
            lanes[lane] = 0;
        }
        if (done == steps) break;
        widest = std::max(lanes[0], lanes[1]);
    }
}
