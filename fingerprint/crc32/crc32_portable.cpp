// Portable CRC-32: slice-by-8 over eight tables derived at compile time from the byte table.
#include <array>

#include "fingerprint/byte_order.h"
#include "fingerprint/kernels.h"

namespace {

constexpr uint32_t Polynomial = 0xEDB88320; // reflected form of 0x04C11DB7

// Tables[0][n] is the reflected CRC of the single byte n (Tables[0][1] = 0x77073096,
// Tables[0][128] = 0xEDB88320). Tables[k][n] is the CRC of byte n followed by k zero bytes,
// which lets eight bytes be folded in with eight independent lookups.
constexpr std::array<std::array<uint32_t, 256>, 8> makeTables() {
    std::array<std::array<uint32_t, 256>, 8> tables{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? (c >> 1) ^ Polynomial : c >> 1;
        tables[0][n] = c;
    }
    for (int k = 1; k < 8; ++k) {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t previous = tables[k - 1][n];
            tables[k][n] = tables[0][previous & 0xff] ^ (previous >> 8);
        }
    }
    return tables;
}

constexpr auto Tables = makeTables();
static_assert(Tables[0][1] == 0x77073096 && Tables[0][128] == 0xEDB88320);

} // namespace

uint32_t crc32Portable(uint32_t crc, const uint8_t* data, std::size_t length) {
    uint32_t c = ~crc;
    while (length >= 8) {
        // Little-endian loads keep the byte order of the reflected CRC on every processor.
        uint32_t low = byteorder::load32le(data) ^ c;
        uint32_t high = byteorder::load32le(data + 4);
        c = Tables[7][low & 0xff] ^ Tables[6][(low >> 8) & 0xff] ^ Tables[5][(low >> 16) & 0xff] ^
            Tables[4][low >> 24] ^ Tables[3][high & 0xff] ^ Tables[2][(high >> 8) & 0xff] ^
            Tables[1][(high >> 16) & 0xff] ^ Tables[0][high >> 24];
        data += 8;
        length -= 8;
    }
    while (length-- > 0)
        c = Tables[0][(c ^ *data++) & 0xff] ^ (c >> 8);
    return ~c;
}
