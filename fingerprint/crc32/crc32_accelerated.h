// Carry-less multiply CRC-32 kernels (x86-64), shared between the two register widths.
#pragma once

#include <cstddef>
#include <cstdint>

// Chainable like crc32Portable: finished (inverted) CRC in and out.
uint32_t crc32Pclmul(uint32_t crc, const uint8_t* data, std::size_t length);
uint32_t crc32Vpclmul(uint32_t crc, const uint8_t* data, std::size_t length);
