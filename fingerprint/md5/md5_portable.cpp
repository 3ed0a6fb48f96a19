// Portable MD5 block function (RFC 1321, 3.4): the 64 steps unrolled.
#include <bit>

#include "fingerprint/byte_order.h"
#include "fingerprint/kernels.h"

namespace {

// RFC 1321's F, H and I, in forms with fewer operations and the same values.
inline uint32_t f(uint32_t x, uint32_t y, uint32_t z) {
    return z ^ (x & (y ^ z));
}
inline uint32_t h(uint32_t x, uint32_t y, uint32_t z) {
    return x ^ y ^ z;
}
inline uint32_t i(uint32_t x, uint32_t y, uint32_t z) {
    return y ^ (x | ~z);
}

#define MD5_STEP(fn, a, b, c, d, word, constant, shift)                                                      \
    a += fn(b, c, d) + (word) + (constant);                                                                  \
    a = std::rotl(a, shift) + b;

// G(b, c, d) = (b & d) | (c & ~d): the two halves never overlap, so they can be added one by
// one, and the half without b is ready before b is.
#define MD5_STEP_G(a, b, c, d, word, constant, shift)                                                        \
    a += (word) + (constant) + (c & ~d);                                                                     \
    a += b & d;                                                                                              \
    a = std::rotl(a, shift) + b;

} // namespace

void md5BlocksPortable(uint32_t state[4], const uint8_t* data, std::size_t blocks) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks > 0; --blocks, data += 64) {
        uint32_t x[16];
        for (int n = 0; n < 16; ++n)
            x[n] = byteorder::load32le(data + 4 * n);
        const uint32_t aa = a, bb = b, cc = c, dd = d;

        MD5_STEP(f, a, b, c, d, x[0], 0xd76aa478, 7)
        MD5_STEP(f, d, a, b, c, x[1], 0xe8c7b756, 12)
        MD5_STEP(f, c, d, a, b, x[2], 0x242070db, 17)
        MD5_STEP(f, b, c, d, a, x[3], 0xc1bdceee, 22)
        MD5_STEP(f, a, b, c, d, x[4], 0xf57c0faf, 7)
        MD5_STEP(f, d, a, b, c, x[5], 0x4787c62a, 12)
        MD5_STEP(f, c, d, a, b, x[6], 0xa8304613, 17)
        MD5_STEP(f, b, c, d, a, x[7], 0xfd469501, 22)
        MD5_STEP(f, a, b, c, d, x[8], 0x698098d8, 7)
        MD5_STEP(f, d, a, b, c, x[9], 0x8b44f7af, 12)
        MD5_STEP(f, c, d, a, b, x[10], 0xffff5bb1, 17)
        MD5_STEP(f, b, c, d, a, x[11], 0x895cd7be, 22)
        MD5_STEP(f, a, b, c, d, x[12], 0x6b901122, 7)
        MD5_STEP(f, d, a, b, c, x[13], 0xfd987193, 12)
        MD5_STEP(f, c, d, a, b, x[14], 0xa679438e, 17)
        MD5_STEP(f, b, c, d, a, x[15], 0x49b40821, 22)

        MD5_STEP_G(a, b, c, d, x[1], 0xf61e2562, 5)
        MD5_STEP_G(d, a, b, c, x[6], 0xc040b340, 9)
        MD5_STEP_G(c, d, a, b, x[11], 0x265e5a51, 14)
        MD5_STEP_G(b, c, d, a, x[0], 0xe9b6c7aa, 20)
        MD5_STEP_G(a, b, c, d, x[5], 0xd62f105d, 5)
        MD5_STEP_G(d, a, b, c, x[10], 0x02441453, 9)
        MD5_STEP_G(c, d, a, b, x[15], 0xd8a1e681, 14)
        MD5_STEP_G(b, c, d, a, x[4], 0xe7d3fbc8, 20)
        MD5_STEP_G(a, b, c, d, x[9], 0x21e1cde6, 5)
        MD5_STEP_G(d, a, b, c, x[14], 0xc33707d6, 9)
        MD5_STEP_G(c, d, a, b, x[3], 0xf4d50d87, 14)
        MD5_STEP_G(b, c, d, a, x[8], 0x455a14ed, 20)
        MD5_STEP_G(a, b, c, d, x[13], 0xa9e3e905, 5)
        MD5_STEP_G(d, a, b, c, x[2], 0xfcefa3f8, 9)
        MD5_STEP_G(c, d, a, b, x[7], 0x676f02d9, 14)
        MD5_STEP_G(b, c, d, a, x[12], 0x8d2a4c8a, 20)

        MD5_STEP(h, a, b, c, d, x[5], 0xfffa3942, 4)
        MD5_STEP(h, d, a, b, c, x[8], 0x8771f681, 11)
        MD5_STEP(h, c, d, a, b, x[11], 0x6d9d6122, 16)
        MD5_STEP(h, b, c, d, a, x[14], 0xfde5380c, 23)
        MD5_STEP(h, a, b, c, d, x[1], 0xa4beea44, 4)
        MD5_STEP(h, d, a, b, c, x[4], 0x4bdecfa9, 11)
        MD5_STEP(h, c, d, a, b, x[7], 0xf6bb4b60, 16)
        MD5_STEP(h, b, c, d, a, x[10], 0xbebfbc70, 23)
        MD5_STEP(h, a, b, c, d, x[13], 0x289b7ec6, 4)
        MD5_STEP(h, d, a, b, c, x[0], 0xeaa127fa, 11)
        MD5_STEP(h, c, d, a, b, x[3], 0xd4ef3085, 16)
        MD5_STEP(h, b, c, d, a, x[6], 0x04881d05, 23)
        MD5_STEP(h, a, b, c, d, x[9], 0xd9d4d039, 4)
        MD5_STEP(h, d, a, b, c, x[12], 0xe6db99e5, 11)
        MD5_STEP(h, c, d, a, b, x[15], 0x1fa27cf8, 16)
        MD5_STEP(h, b, c, d, a, x[2], 0xc4ac5665, 23)

        MD5_STEP(i, a, b, c, d, x[0], 0xf4292244, 6)
        MD5_STEP(i, d, a, b, c, x[7], 0x432aff97, 10)
        MD5_STEP(i, c, d, a, b, x[14], 0xab9423a7, 15)
        MD5_STEP(i, b, c, d, a, x[5], 0xfc93a039, 21)
        MD5_STEP(i, a, b, c, d, x[12], 0x655b59c3, 6)
        MD5_STEP(i, d, a, b, c, x[3], 0x8f0ccc92, 10)
        MD5_STEP(i, c, d, a, b, x[10], 0xffeff47d, 15)
        MD5_STEP(i, b, c, d, a, x[1], 0x85845dd1, 21)
        MD5_STEP(i, a, b, c, d, x[8], 0x6fa87e4f, 6)
        MD5_STEP(i, d, a, b, c, x[15], 0xfe2ce6e0, 10)
        MD5_STEP(i, c, d, a, b, x[6], 0xa3014314, 15)
        MD5_STEP(i, b, c, d, a, x[13], 0x4e0811a1, 21)
        MD5_STEP(i, a, b, c, d, x[4], 0xf7537e82, 6)
        MD5_STEP(i, d, a, b, c, x[11], 0xbd3af235, 10)
        MD5_STEP(i, c, d, a, b, x[2], 0x2ad7d2bb, 15)
        MD5_STEP(i, b, c, d, a, x[9], 0xeb86d391, 21)

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
