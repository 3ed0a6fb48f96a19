// CRC-32 with the ARMv8 CRC32 instructions on 32-bit ARM: they compute exactly this reflected polynomial.
#include <arm_acle.h>

#include <cstring>

#include "fingerprint/crc32/crc32_accelerated.h"

namespace {

// A word at an address that is a multiple of 4; GCC pairs such loads into LDRD, which would fault
// at any other address.
typedef uint32_t AlignedWord __attribute__((may_alias, aligned(4)));

} // namespace

uint32_t crc32Armv8(uint32_t crc, const uint8_t* data, std::size_t length) {
    if (data == nullptr) return crc;
    uint32_t c = ~crc;
    if (length >= 4) {
        if (reinterpret_cast<uintptr_t>(data) & 1) {
            c = __crc32b(c, *data++);
            --length;
        }
        if (reinterpret_cast<uintptr_t>(data) & 2) {
            uint16_t half;
            std::memcpy(&half, data, sizeof half);
            c = __crc32h(c, half);
            data += 2;
            length -= 2;
        }
    }
    const auto* words = reinterpret_cast<const AlignedWord*>(data);
    for (; length >= 32; length -= 32, words += 8) {
        c = __crc32w(c, words[0]);
        c = __crc32w(c, words[1]);
        c = __crc32w(c, words[2]);
        c = __crc32w(c, words[3]);
        c = __crc32w(c, words[4]);
        c = __crc32w(c, words[5]);
        c = __crc32w(c, words[6]);
        c = __crc32w(c, words[7]);
    }
    for (; length >= 4; length -= 4)
        c = __crc32w(c, *words++);
    data = reinterpret_cast<const uint8_t*>(words);
    for (; length > 0; --length)
        c = __crc32b(c, *data++);
    return ~c;
}
