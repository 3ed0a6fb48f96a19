// Portable SHA-224/256 block function (FIPS 180-4, 6.2.2): 64 rounds unrolled over a 16-word schedule.
#include <bit>

#include "fingerprint/byte_order.h"
#include "fingerprint/kernels.h"

namespace {

constexpr uint32_t K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

// FIPS 180-4 4.1.2, with the rotations nested: each copy of x costs a move on processors without
// a three-operand rotate, and the nested form needs fewer copies.
inline uint32_t bigSigma0(uint32_t x) {
    return std::rotr(std::rotr(std::rotr(x, 9) ^ x, 11) ^ x, 2);
}
inline uint32_t bigSigma1(uint32_t x) {
    return std::rotr(std::rotr(std::rotr(x, 14) ^ x, 5) ^ x, 6);
}
inline uint32_t smallSigma0(uint32_t x) {
    return std::rotr(std::rotr(x, 11) ^ x, 7) ^ (x >> 3);
}
inline uint32_t smallSigma1(uint32_t x) {
    return std::rotr(std::rotr(x, 2) ^ x, 17) ^ (x >> 10);
}

// Ch with one operation fewer. Maj(a, b, c) is taken as b ^ ((a ^ b) & (b ^ c)): a ^ b of one
// round is b ^ c of the next, so it is computed once.
inline uint32_t choose(uint32_t x, uint32_t y, uint32_t z) {
    return z ^ (x & (y ^ z));
}

// Schedule word t >= 16 in a ring of 16 words (FIPS 180-4, 6.2.2 step 1).
#define SHA256_W(t)                                                                                          \
    (w[(t)&15] += smallSigma1(w[((t) + 14) & 15]) + w[((t) + 9) & 15] + smallSigma0(w[((t) + 1) & 15]))

#define SHA256_ROUND(a, b, c, d, e, f, g, h, word, t)                                                        \
    h += bigSigma1(e) + choose(e, f, g) + K[t] + (word);                                                     \
    d += h;                                                                                                  \
    ab = a ^ b;                                                                                              \
    h += bigSigma0(a) + (b ^ (ab & bc));                                                                     \
    bc = ab;

// Eight rounds bring the roles of a..h back to where they started.
#define SHA256_EIGHT(word, t)                                                                                \
    SHA256_ROUND(a, b, c, d, e, f, g, h, word((t) + 0), (t) + 0)                                             \
    SHA256_ROUND(h, a, b, c, d, e, f, g, word((t) + 1), (t) + 1)                                             \
    SHA256_ROUND(g, h, a, b, c, d, e, f, word((t) + 2), (t) + 2)                                             \
    SHA256_ROUND(f, g, h, a, b, c, d, e, word((t) + 3), (t) + 3)                                             \
    SHA256_ROUND(e, f, g, h, a, b, c, d, word((t) + 4), (t) + 4)                                             \
    SHA256_ROUND(d, e, f, g, h, a, b, c, word((t) + 5), (t) + 5)                                             \
    SHA256_ROUND(c, d, e, f, g, h, a, b, word((t) + 6), (t) + 6)                                             \
    SHA256_ROUND(b, c, d, e, f, g, h, a, word((t) + 7), (t) + 7)

#define SHA256_LOADED(t) w[t]

} // namespace

void sha256BlocksPortable(uint32_t state[8], const uint8_t* data, std::size_t blocks) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (; blocks > 0; --blocks, data += 64) {
        uint32_t w[16];
        for (int n = 0; n < 16; ++n)
            w[n] = byteorder::load32be(data + 4 * n);
        uint32_t ab, bc = b ^ c;

        SHA256_EIGHT(SHA256_LOADED, 0)
        SHA256_EIGHT(SHA256_LOADED, 8)
        SHA256_EIGHT(SHA256_W, 16)
        SHA256_EIGHT(SHA256_W, 24)
        SHA256_EIGHT(SHA256_W, 32)
        SHA256_EIGHT(SHA256_W, 40)
        SHA256_EIGHT(SHA256_W, 48)
        SHA256_EIGHT(SHA256_W, 56)

        a = state[0] += a;
        b = state[1] += b;
        c = state[2] += c;
        d = state[3] += d;
        e = state[4] += e;
        f = state[5] += f;
        g = state[6] += g;
        h = state[7] += h;
    }
}
