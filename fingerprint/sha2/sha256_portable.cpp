// Portable SHA-224/256 block function (FIPS 180-4, 6.2.2): 64 rounds unrolled over a 16-word schedule.
#include <bit>

#include "fingerprint/byte_order.h"
#include "fingerprint/kernels.h"
#include "fingerprint/sha2/sha2_constants.h"

namespace {

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
    h += bigSigma1(e) + choose(e, f, g) + Sha256RoundConstants[t] + (word);                                  \
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
