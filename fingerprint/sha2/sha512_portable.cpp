// Portable SHA-384/512 block function (FIPS 180-4, 6.4.2): 80 rounds unrolled over a 16-word schedule.
#include <bit>

#include "fingerprint/byte_order.h"
#include "fingerprint/kernels.h"

namespace {

constexpr uint64_t K[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc, 0x3956c25bf348b538,
    0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118, 0xd807aa98a3030242, 0x12835b0145706fbe,
    0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2, 0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235,
    0xc19bf174cf692694, 0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5, 0x983e5152ee66dfab,
    0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4, 0xc6e00bf33da88fc2, 0xd5a79147930aa725,
    0x06ca6351e003826f, 0x142929670a0e6e70, 0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed,
    0x53380d139d95b3df, 0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30, 0xd192e819d6ef5218,
    0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8, 0x19a4c116b8d2d0c8, 0x1e376c085141ab53,
    0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8, 0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373,
    0x682e6ff3d6b2b8a3, 0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b, 0xca273eceea26619c,
    0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178, 0x06f067aa72176fba, 0x0a637dc5a2c898a6,
    0x113f9804bef90dae, 0x1b710b35131c471b, 0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc,
    0x431d67c49c100d4c, 0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817};

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
    h += bigSigma1(e) + choose(e, f, g) + K[t] + (word);                                                     \
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
