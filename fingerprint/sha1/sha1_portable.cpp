// Portable SHA-1 block function (FIPS 180-4, 6.1.2): 80 rounds unrolled over a 16-word schedule.
#include <bit>

#include "fingerprint/byte_order.h"
#include "fingerprint/kernels.h"

namespace {

// The schedule lives in a ring of 16 words (FIPS 180-4, 6.1.3 alternative method).
#define SHA1_W(t)                                                                                            \
    (w[(t)&15] = std::rotl(w[((t) + 13) & 15] ^ w[((t) + 8) & 15] ^ w[((t) + 2) & 15] ^ w[(t)&15], 1))

#define SHA1_R0(a, b, c, d, e, t)                                                                            \
    e += (d ^ (b & (c ^ d))) + w[t] + 0x5a827999 + std::rotl(a, 5);                                          \
    b = std::rotl(b, 30);
#define SHA1_R1(a, b, c, d, e, t)                                                                            \
    e += (d ^ (b & (c ^ d))) + SHA1_W(t) + 0x5a827999 + std::rotl(a, 5);                                     \
    b = std::rotl(b, 30);
#define SHA1_R2(a, b, c, d, e, t)                                                                            \
    e += (b ^ c ^ d) + SHA1_W(t) + 0x6ed9eba1 + std::rotl(a, 5);                                             \
    b = std::rotl(b, 30);
#define SHA1_R3(a, b, c, d, e, t)                                                                            \
    e += (((b | c) & d) | (b & c)) + SHA1_W(t) + 0x8f1bbcdc + std::rotl(a, 5);                               \
    b = std::rotl(b, 30);
#define SHA1_R4(a, b, c, d, e, t)                                                                            \
    e += (b ^ c ^ d) + SHA1_W(t) + 0xca62c1d6 + std::rotl(a, 5);                                             \
    b = std::rotl(b, 30);

// Five rounds rotate the roles of a..e back to where they started.
#define SHA1_FIVE(R, t)                                                                                      \
    R(a, b, c, d, e, t)                                                                                      \
    R(e, a, b, c, d, (t) + 1) R(d, e, a, b, c, (t) + 2) R(c, d, e, a, b, (t) + 3) R(b, c, d, e, a, (t) + 4)

} // namespace

void sha1BlocksPortable(uint32_t state[5], const uint8_t* data, std::size_t blocks) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (; blocks > 0; --blocks, data += 64) {
        uint32_t w[16];
        for (int n = 0; n < 16; ++n)
            w[n] = byteorder::load32be(data + 4 * n);
        const uint32_t aa = a, bb = b, cc = c, dd = d, ee = e;

        SHA1_FIVE(SHA1_R0, 0)
        SHA1_FIVE(SHA1_R0, 5)
        SHA1_FIVE(SHA1_R0, 10)
        SHA1_R0(a, b, c, d, e, 15)
        SHA1_R1(e, a, b, c, d, 16)
        SHA1_R1(d, e, a, b, c, 17)
        SHA1_R1(c, d, e, a, b, 18)
        SHA1_R1(b, c, d, e, a, 19)

        SHA1_FIVE(SHA1_R2, 20)
        SHA1_FIVE(SHA1_R2, 25)
        SHA1_FIVE(SHA1_R2, 30)
        SHA1_FIVE(SHA1_R2, 35)

        SHA1_FIVE(SHA1_R3, 40)
        SHA1_FIVE(SHA1_R3, 45)
        SHA1_FIVE(SHA1_R3, 50)
        SHA1_FIVE(SHA1_R3, 55)

        SHA1_FIVE(SHA1_R4, 60)
        SHA1_FIVE(SHA1_R4, 65)
        SHA1_FIVE(SHA1_R4, 70)
        SHA1_FIVE(SHA1_R4, 75)

        a += aa;
        b += bb;
        c += cc;
        d += dd;
        e += ee;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
    state[4] = e;
}
