// Portable SHA-384/512 block function (FIPS 180-4, 6.4.2): 80 rounds unrolled over a 16-word schedule.
#include <bit>

#include "fingerprint/byte_order.h"
#include "fingerprint/kernels.h"
#include "fingerprint/sha2/sha2_constants.h"

namespace {

// FIPS 180-4 4.1.3, with the rotations nested (fewer copies of x).
inline uint64_t bigSigma0(uint64_t x) {
    return std::rotr(std::rotr(std::rotr(x, 5) ^ x, 6) ^ x, 28);
}
inline uint64_t bigSigma1(uint64_t x) {
    return std::rotr(std::rotr(std::rotr(x, 23) ^ x, 4) ^ x, 14);
}
inline uint64_t smallSigma0(uint64_t x) {
    return std::rotr(std::rotr(x, 7) ^ x, 1) ^ (x >> 7);
}
inline uint64_t smallSigma1(uint64_t x) {
    return std::rotr(std::rotr(x, 42) ^ x, 19) ^ (x >> 6);
}

// Ch with one operation fewer. Maj(a, b, c) is taken as b ^ ((a ^ b) & (b ^ c)): a ^ b of one
// round is b ^ c of the next, so it is computed once.
inline uint64_t choose(uint64_t x, uint64_t y, uint64_t z) {
    return z ^ (x & (y ^ z));
}

#define SHA512_W(t)                                                                                          \
    (w[(t)&15] += smallSigma1(w[((t) + 14) & 15]) + w[((t) + 9) & 15] + smallSigma0(w[((t) + 1) & 15]))

#define SHA512_ROUND(a, b, c, d, e, f, g, h, word, t)                                                        \
    h += bigSigma1(e) + choose(e, f, g) + Sha512RoundConstants[t] + (word);                                  \
    d += h;                                                                                                  \
    ab = a ^ b;                                                                                              \
    h += bigSigma0(a) + (b ^ (ab & bc));                                                                     \
    bc = ab;

#define SHA512_EIGHT(word, t)                                                                                \
    SHA512_ROUND(a, b, c, d, e, f, g, h, word((t) + 0), (t) + 0)                                             \
    SHA512_ROUND(h, a, b, c, d, e, f, g, word((t) + 1), (t) + 1)                                             \
    SHA512_ROUND(g, h, a, b, c, d, e, f, word((t) + 2), (t) + 2)                                             \
    SHA512_ROUND(f, g, h, a, b, c, d, e, word((t) + 3), (t) + 3)                                             \
    SHA512_ROUND(e, f, g, h, a, b, c, d, word((t) + 4), (t) + 4)                                             \
    SHA512_ROUND(d, e, f, g, h, a, b, c, word((t) + 5), (t) + 5)                                             \
    SHA512_ROUND(c, d, e, f, g, h, a, b, word((t) + 6), (t) + 6)                                             \
    SHA512_ROUND(b, c, d, e, f, g, h, a, word((t) + 7), (t) + 7)

#define SHA512_LOADED(t) w[t]

} // namespace

void sha512BlocksPortable(uint64_t state[8], const uint8_t* data, std::size_t blocks) {
    uint64_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint64_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (; blocks > 0; --blocks, data += 128) {
        uint64_t w[16];
        for (int n = 0; n < 16; ++n)
            w[n] = byteorder::load64be(data + 8 * n);
        uint64_t ab, bc = b ^ c;

        SHA512_EIGHT(SHA512_LOADED, 0)
        SHA512_EIGHT(SHA512_LOADED, 8)
        SHA512_EIGHT(SHA512_W, 16)
        SHA512_EIGHT(SHA512_W, 24)
        SHA512_EIGHT(SHA512_W, 32)
        SHA512_EIGHT(SHA512_W, 40)
        SHA512_EIGHT(SHA512_W, 48)
        SHA512_EIGHT(SHA512_W, 56)
        SHA512_EIGHT(SHA512_W, 64)
        SHA512_EIGHT(SHA512_W, 72)

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
