// Accelerated CRC-32 kernels: carry-less multiply folding on x86-64, the ARMv8 CRC32 and PMULL
// instructions or NEON's 8-bit polynomial multiply on 32-bit ARM, CRC32 and PMULL on AArch64.
#pragma once

#include <cstddef>
#include <cstdint>

// Chainable like crc32Portable: finished (inverted) CRC in and out.
uint32_t crc32Pclmul(uint32_t crc, const uint8_t* data, std::size_t length);
uint32_t crc32Vpclmul(uint32_t crc, const uint8_t* data, std::size_t length);
uint32_t crc32Armv8(uint32_t crc, const uint8_t* data, std::size_t length);
uint32_t crc32Pmull(uint32_t crc, const uint8_t* data, std::size_t length);
uint32_t crc32Neon(uint32_t crc, const uint8_t* data, std::size_t length);
// AArch64: the CRC32 instructions, and PMULL folding with them.
uint32_t crc32Arm64(uint32_t crc, const uint8_t* data, std::size_t length);
uint32_t crc32PmullArm64(uint32_t crc, const uint8_t* data, std::size_t length);
