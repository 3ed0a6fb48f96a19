// CRC-32 with the ARMv8 CRC32 instructions on AArch64: they compute exactly this reflected polynomial,
// eight bytes an instruction.
#include <arm_acle.h>

#include <cstring>

#include "fingerprint/crc32/crc32_accelerated.h"

namespace {

inline uint64_t load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

} // namespace

uint32_t crc32Arm64(uint32_t crc, const uint8_t* data, std::size_t length) {
    if (data == nullptr) return crc;
    uint32_t c = ~crc;
    // Each CRC32X waits for the one before it; the loads run ahead of the chain, and the unrolled loop
    // leaves one branch per 64 bytes. AArch64 loads any alignment at full speed.
    for (; length >= 64; length -= 64, data += 64) {
        c = __crc32d(c, load64(data));
        c = __crc32d(c, load64(data + 8));
        c = __crc32d(c, load64(data + 16));
        c = __crc32d(c, load64(data + 24));
        c = __crc32d(c, load64(data + 32));
        c = __crc32d(c, load64(data + 40));
        c = __crc32d(c, load64(data + 48));
        c = __crc32d(c, load64(data + 56));
    }
    for (; length >= 8; length -= 8, data += 8)
        c = __crc32d(c, load64(data));
    if (length >= 4) {
        uint32_t word;
        std::memcpy(&word, data, sizeof word);
        c = __crc32w(c, word);
        data += 4;
        length -= 4;
    }
    for (; length > 0; --length)
        c = __crc32b(c, *data++);
    return ~c;
}
