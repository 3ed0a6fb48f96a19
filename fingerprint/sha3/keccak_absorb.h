// The Keccak-f[1600] absorb loop (FIPS 202), written once: the 25 lanes stay in locals across a run of
// blocks. Each block function that includes it compiles its own copy with its file's instruction-set
// flags (plain, or BMI1/BMI2 for andn and rorx); the anonymous namespace keeps those copies apart, so a
// processor without BMI never runs the BMI build.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fingerprint/sha3/keccak_constants.h"

namespace {

// Helpers of its own rather than the shared inline ones: an inline function with external linkage
// compiled in both files would leave the linker free to keep the BMI copy for the portable path.
[[gnu::always_inline]] inline uint64_t rotateLeft(uint64_t x, int n) {
    return (x << n) | (x >> ((64 - n) & 63));
}

// Lanes are little-endian in the byte stream (FIPS 202, B.1); memcpy keeps any alignment legal.
[[gnu::always_inline]] inline uint64_t loadLane(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return v;
}

[[gnu::always_inline]] inline void keccakAbsorbBlocks(uint64_t lanes[25], const uint8_t* data,
                                                      std::size_t blocks, std::size_t rate) {
    // Lane (x, y) is lanes[x + 5y] and lives in the local axy (and exy between the two rounds of a pair).
    uint64_t a00 = lanes[0], a10 = lanes[1], a20 = lanes[2], a30 = lanes[3], a40 = lanes[4];
    uint64_t a01 = lanes[5], a11 = lanes[6], a21 = lanes[7], a31 = lanes[8], a41 = lanes[9];
    uint64_t a02 = lanes[10], a12 = lanes[11], a22 = lanes[12], a32 = lanes[13], a42 = lanes[14];
    uint64_t a03 = lanes[15], a13 = lanes[16], a23 = lanes[17], a33 = lanes[18], a43 = lanes[19];
    uint64_t a04 = lanes[20], a14 = lanes[21], a24 = lanes[22], a34 = lanes[23], a44 = lanes[24];
    uint64_t e00, e10, e20, e30, e40, e01, e11, e21, e31, e41, e02, e12, e22, e32, e42;
    uint64_t e03, e13, e23, e33, e43, e04, e14, e24, e34, e44;
    uint64_t b0, b1, b2, b3, b4, c0, c1, c2, c3, c4, d0, d1, d2, d3, d4;

    for (; blocks > 0; --blocks, data += rate) {
        // Exactly `rate` bytes, lane (x, y) = lanes[x + 5y] from byte 8(x + 5y): a lane past the rate is
        // never read, so the last block of an input may end against a page that cannot be read.
        // clang-format off
        switch (rate / 8) {
        case 25: a44 ^= loadLane(data + 192); [[fallthrough]];
        case 24: a34 ^= loadLane(data + 184); [[fallthrough]];
        case 23: a24 ^= loadLane(data + 176); [[fallthrough]];
        case 22: a14 ^= loadLane(data + 168); [[fallthrough]];
        case 21: a04 ^= loadLane(data + 160); [[fallthrough]];
        case 20: a43 ^= loadLane(data + 152); [[fallthrough]];
        case 19: a33 ^= loadLane(data + 144); [[fallthrough]];
        case 18: a23 ^= loadLane(data + 136); [[fallthrough]];
        case 17: a13 ^= loadLane(data + 128); [[fallthrough]];
        case 16: a03 ^= loadLane(data + 120); [[fallthrough]];
        case 15: a42 ^= loadLane(data + 112); [[fallthrough]];
        case 14: a32 ^= loadLane(data + 104); [[fallthrough]];
        case 13: a22 ^= loadLane(data + 96); [[fallthrough]];
        case 12: a12 ^= loadLane(data + 88); [[fallthrough]];
        case 11: a02 ^= loadLane(data + 80); [[fallthrough]];
        case 10: a41 ^= loadLane(data + 72); [[fallthrough]];
        case 9: a31 ^= loadLane(data + 64); [[fallthrough]];
        case 8: a21 ^= loadLane(data + 56); [[fallthrough]];
        case 7: a11 ^= loadLane(data + 48); [[fallthrough]];
        case 6: a01 ^= loadLane(data + 40); [[fallthrough]];
        case 5: a40 ^= loadLane(data + 32); [[fallthrough]];
        case 4: a30 ^= loadLane(data + 24); [[fallthrough]];
        case 3: a20 ^= loadLane(data + 16); [[fallthrough]];
        case 2: a10 ^= loadLane(data + 8); [[fallthrough]];
        case 1: a00 ^= loadLane(data); break;
        default: break;
        }
        // clang-format on

        for (int round = 0; round < 24; round += 2) {
            // theta
            c0 = a00 ^ a01 ^ a02 ^ a03 ^ a04;
            c1 = a10 ^ a11 ^ a12 ^ a13 ^ a14;
            c2 = a20 ^ a21 ^ a22 ^ a23 ^ a24;
            c3 = a30 ^ a31 ^ a32 ^ a33 ^ a34;
            c4 = a40 ^ a41 ^ a42 ^ a43 ^ a44;
            d0 = c4 ^ rotateLeft(c1, 1);
            d1 = c0 ^ rotateLeft(c2, 1);
            d2 = c1 ^ rotateLeft(c3, 1);
            d3 = c2 ^ rotateLeft(c4, 1);
            d4 = c3 ^ rotateLeft(c0, 1);
            // rho, pi and chi of row 0
            b0 = a00 ^ d0;
            b1 = rotateLeft(a11 ^ d1, 44);
            b2 = rotateLeft(a22 ^ d2, 43);
            b3 = rotateLeft(a33 ^ d3, 21);
            b4 = rotateLeft(a44 ^ d4, 14);
            e00 = b0 ^ (~b1 & b2) ^ KeccakRoundConstants[round];
            e10 = b1 ^ (~b2 & b3);
            e20 = b2 ^ (~b3 & b4);
            e30 = b3 ^ (~b4 & b0);
            e40 = b4 ^ (~b0 & b1);
            // rho, pi and chi of row 1
            b0 = rotateLeft(a30 ^ d3, 28);
            b1 = rotateLeft(a41 ^ d4, 20);
            b2 = rotateLeft(a02 ^ d0, 3);
            b3 = rotateLeft(a13 ^ d1, 45);
            b4 = rotateLeft(a24 ^ d2, 61);
            e01 = b0 ^ (~b1 & b2);
            e11 = b1 ^ (~b2 & b3);
            e21 = b2 ^ (~b3 & b4);
            e31 = b3 ^ (~b4 & b0);
            e41 = b4 ^ (~b0 & b1);
            // rho, pi and chi of row 2
            b0 = rotateLeft(a10 ^ d1, 1);
            b1 = rotateLeft(a21 ^ d2, 6);
            b2 = rotateLeft(a32 ^ d3, 25);
            b3 = rotateLeft(a43 ^ d4, 8);
            b4 = rotateLeft(a04 ^ d0, 18);
            e02 = b0 ^ (~b1 & b2);
            e12 = b1 ^ (~b2 & b3);
            e22 = b2 ^ (~b3 & b4);
            e32 = b3 ^ (~b4 & b0);
            e42 = b4 ^ (~b0 & b1);
            // rho, pi and chi of row 3
            b0 = rotateLeft(a40 ^ d4, 27);
            b1 = rotateLeft(a01 ^ d0, 36);
            b2 = rotateLeft(a12 ^ d1, 10);
            b3 = rotateLeft(a23 ^ d2, 15);
            b4 = rotateLeft(a34 ^ d3, 56);
            e03 = b0 ^ (~b1 & b2);
            e13 = b1 ^ (~b2 & b3);
            e23 = b2 ^ (~b3 & b4);
            e33 = b3 ^ (~b4 & b0);
            e43 = b4 ^ (~b0 & b1);
            // rho, pi and chi of row 4
            b0 = rotateLeft(a20 ^ d2, 62);
            b1 = rotateLeft(a31 ^ d3, 55);
            b2 = rotateLeft(a42 ^ d4, 39);
            b3 = rotateLeft(a03 ^ d0, 41);
            b4 = rotateLeft(a14 ^ d1, 2);
            e04 = b0 ^ (~b1 & b2);
            e14 = b1 ^ (~b2 & b3);
            e24 = b2 ^ (~b3 & b4);
            e34 = b3 ^ (~b4 & b0);
            e44 = b4 ^ (~b0 & b1);
            // theta
            c0 = e00 ^ e01 ^ e02 ^ e03 ^ e04;
            c1 = e10 ^ e11 ^ e12 ^ e13 ^ e14;
            c2 = e20 ^ e21 ^ e22 ^ e23 ^ e24;
            c3 = e30 ^ e31 ^ e32 ^ e33 ^ e34;
            c4 = e40 ^ e41 ^ e42 ^ e43 ^ e44;
            d0 = c4 ^ rotateLeft(c1, 1);
            d1 = c0 ^ rotateLeft(c2, 1);
            d2 = c1 ^ rotateLeft(c3, 1);
            d3 = c2 ^ rotateLeft(c4, 1);
            d4 = c3 ^ rotateLeft(c0, 1);
            // rho, pi and chi of row 0
            b0 = e00 ^ d0;
            b1 = rotateLeft(e11 ^ d1, 44);
            b2 = rotateLeft(e22 ^ d2, 43);
            b3 = rotateLeft(e33 ^ d3, 21);
            b4 = rotateLeft(e44 ^ d4, 14);
            a00 = b0 ^ (~b1 & b2) ^ KeccakRoundConstants[round + 1];
            a10 = b1 ^ (~b2 & b3);
            a20 = b2 ^ (~b3 & b4);
            a30 = b3 ^ (~b4 & b0);
            a40 = b4 ^ (~b0 & b1);
            // rho, pi and chi of row 1
            b0 = rotateLeft(e30 ^ d3, 28);
            b1 = rotateLeft(e41 ^ d4, 20);
            b2 = rotateLeft(e02 ^ d0, 3);
            b3 = rotateLeft(e13 ^ d1, 45);
            b4 = rotateLeft(e24 ^ d2, 61);
            a01 = b0 ^ (~b1 & b2);
            a11 = b1 ^ (~b2 & b3);
            a21 = b2 ^ (~b3 & b4);
            a31 = b3 ^ (~b4 & b0);
            a41 = b4 ^ (~b0 & b1);
            // rho, pi and chi of row 2
            b0 = rotateLeft(e10 ^ d1, 1);
            b1 = rotateLeft(e21 ^ d2, 6);
            b2 = rotateLeft(e32 ^ d3, 25);
            b3 = rotateLeft(e43 ^ d4, 8);
            b4 = rotateLeft(e04 ^ d0, 18);
            a02 = b0 ^ (~b1 & b2);
            a12 = b1 ^ (~b2 & b3);
            a22 = b2 ^ (~b3 & b4);
            a32 = b3 ^ (~b4 & b0);
            a42 = b4 ^ (~b0 & b1);
            // rho, pi and chi of row 3
            b0 = rotateLeft(e40 ^ d4, 27);
            b1 = rotateLeft(e01 ^ d0, 36);
            b2 = rotateLeft(e12 ^ d1, 10);
            b3 = rotateLeft(e23 ^ d2, 15);
            b4 = rotateLeft(e34 ^ d3, 56);
            a03 = b0 ^ (~b1 & b2);
            a13 = b1 ^ (~b2 & b3);
            a23 = b2 ^ (~b3 & b4);
            a33 = b3 ^ (~b4 & b0);
            a43 = b4 ^ (~b0 & b1);
            // rho, pi and chi of row 4
            b0 = rotateLeft(e20 ^ d2, 62);
            b1 = rotateLeft(e31 ^ d3, 55);
            b2 = rotateLeft(e42 ^ d4, 39);
            b3 = rotateLeft(e03 ^ d0, 41);
            b4 = rotateLeft(e14 ^ d1, 2);
            a04 = b0 ^ (~b1 & b2);
            a14 = b1 ^ (~b2 & b3);
            a24 = b2 ^ (~b3 & b4);
            a34 = b3 ^ (~b4 & b0);
            a44 = b4 ^ (~b0 & b1);
        }
    }

    lanes[0] = a00, lanes[1] = a10, lanes[2] = a20, lanes[3] = a30, lanes[4] = a40;
    lanes[5] = a01, lanes[6] = a11, lanes[7] = a21, lanes[8] = a31, lanes[9] = a41;
    lanes[10] = a02, lanes[11] = a12, lanes[12] = a22, lanes[13] = a32, lanes[14] = a42;
    lanes[15] = a03, lanes[16] = a13, lanes[17] = a23, lanes[18] = a33, lanes[19] = a43;
    lanes[20] = a04, lanes[21] = a14, lanes[22] = a24, lanes[23] = a34, lanes[24] = a44;
}

} // namespace
