// MD5 (RFC 1321) with a shortened critical path: terms independent of the newest word are added first.
#include <cstring>

#include "fingerprint/md5/md5_accelerated.h"

namespace {

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t loadWord(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap32(v);
#endif
    return v;
}

// In every step only b is the result of the step before; everything else is known earlier.
// The steps below add all terms that do not depend on b before the one that does.

// F(b,c,d) = (b & c) | (~b & d) = d ^ (b & (c ^ d)): c ^ d is ready before b.
inline uint32_t stepF(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t wk, int s) {
    return b + rotl(a + wk + (d ^ (b & (c ^ d))), s);
}

// G(b,c,d) = (b & d) | (c & ~d): the two terms never overlap, so G is their sum and the c & ~d
// term (ANDN with BMI1) joins the early sum instead of waiting for b.
inline uint32_t stepG(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t wk, int s) {
    return b + rotl((a + wk + (c & ~d)) + (b & d), s);
}

inline uint32_t stepH(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t wk, int s) {
    return b + rotl((a + wk) + (b ^ (c ^ d)), s);
}

// I(b,c,d) = c ^ (b | ~d): ~d is ready early.
inline uint32_t stepI(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t wk, int s) {
    return b + rotl((a + wk) + (c ^ (b | ~d)), s);
}

// RFC 1321, 3.4: T[i] = floor(2^32 * abs(sin(i + 1))).
constexpr uint32_t T[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

} // namespace

void md5BlocksBmi(uint32_t state[4], const uint8_t* data, std::size_t blocks) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks > 0; --blocks, data += 64) {
        uint32_t x[16];
        for (int i = 0; i < 16; ++i) x[i] = loadWord(data + 4 * i);
        const uint32_t aa = a, bb = b, cc = c, dd = d;

        a = stepF(a, b, c, d, x[0] + T[0], 7);     d = stepF(d, a, b, c, x[1] + T[1], 12);
        c = stepF(c, d, a, b, x[2] + T[2], 17);    b = stepF(b, c, d, a, x[3] + T[3], 22);
        a = stepF(a, b, c, d, x[4] + T[4], 7);     d = stepF(d, a, b, c, x[5] + T[5], 12);
        c = stepF(c, d, a, b, x[6] + T[6], 17);    b = stepF(b, c, d, a, x[7] + T[7], 22);
        a = stepF(a, b, c, d, x[8] + T[8], 7);     d = stepF(d, a, b, c, x[9] + T[9], 12);
        c = stepF(c, d, a, b, x[10] + T[10], 17);  b = stepF(b, c, d, a, x[11] + T[11], 22);
        a = stepF(a, b, c, d, x[12] + T[12], 7);   d = stepF(d, a, b, c, x[13] + T[13], 12);
        c = stepF(c, d, a, b, x[14] + T[14], 17);  b = stepF(b, c, d, a, x[15] + T[15], 22);

        a = stepG(a, b, c, d, x[1] + T[16], 5);    d = stepG(d, a, b, c, x[6] + T[17], 9);
        c = stepG(c, d, a, b, x[11] + T[18], 14);  b = stepG(b, c, d, a, x[0] + T[19], 20);
        a = stepG(a, b, c, d, x[5] + T[20], 5);    d = stepG(d, a, b, c, x[10] + T[21], 9);
        c = stepG(c, d, a, b, x[15] + T[22], 14);  b = stepG(b, c, d, a, x[4] + T[23], 20);
        a = stepG(a, b, c, d, x[9] + T[24], 5);    d = stepG(d, a, b, c, x[14] + T[25], 9);
        c = stepG(c, d, a, b, x[3] + T[26], 14);   b = stepG(b, c, d, a, x[8] + T[27], 20);
        a = stepG(a, b, c, d, x[13] + T[28], 5);   d = stepG(d, a, b, c, x[2] + T[29], 9);
        c = stepG(c, d, a, b, x[7] + T[30], 14);   b = stepG(b, c, d, a, x[12] + T[31], 20);

        a = stepH(a, b, c, d, x[5] + T[32], 4);    d = stepH(d, a, b, c, x[8] + T[33], 11);
        c = stepH(c, d, a, b, x[11] + T[34], 16);  b = stepH(b, c, d, a, x[14] + T[35], 23);
        a = stepH(a, b, c, d, x[1] + T[36], 4);    d = stepH(d, a, b, c, x[4] + T[37], 11);
        c = stepH(c, d, a, b, x[7] + T[38], 16);   b = stepH(b, c, d, a, x[10] + T[39], 23);
        a = stepH(a, b, c, d, x[13] + T[40], 4);   d = stepH(d, a, b, c, x[0] + T[41], 11);
        c = stepH(c, d, a, b, x[3] + T[42], 16);   b = stepH(b, c, d, a, x[6] + T[43], 23);
        a = stepH(a, b, c, d, x[9] + T[44], 4);    d = stepH(d, a, b, c, x[12] + T[45], 11);
        c = stepH(c, d, a, b, x[15] + T[46], 16);  b = stepH(b, c, d, a, x[2] + T[47], 23);

        a = stepI(a, b, c, d, x[0] + T[48], 6);    d = stepI(d, a, b, c, x[7] + T[49], 10);
        c = stepI(c, d, a, b, x[14] + T[50], 15);  b = stepI(b, c, d, a, x[5] + T[51], 21);
        a = stepI(a, b, c, d, x[12] + T[52], 6);   d = stepI(d, a, b, c, x[3] + T[53], 10);
        c = stepI(c, d, a, b, x[10] + T[54], 15);  b = stepI(b, c, d, a, x[1] + T[55], 21);
        a = stepI(a, b, c, d, x[8] + T[56], 6);    d = stepI(d, a, b, c, x[15] + T[57], 10);
        c = stepI(c, d, a, b, x[6] + T[58], 15);   b = stepI(b, c, d, a, x[13] + T[59], 21);
        a = stepI(a, b, c, d, x[4] + T[60], 6);    d = stepI(d, a, b, c, x[11] + T[61], 10);
        c = stepI(c, d, a, b, x[2] + T[62], 15);   b = stepI(b, c, d, a, x[9] + T[63], 21);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}
