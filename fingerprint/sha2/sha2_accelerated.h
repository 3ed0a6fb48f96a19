// Accelerated SHA-2 block functions (x86-64, 32-bit and 64-bit ARM); same contract as the portable ones in
// kernels.h.
#pragma once

#include <cstddef>
#include <cstdint>

void sha256BlocksShani(uint32_t state[8], const uint8_t* data, std::size_t blocks);
void sha256PairBlocksShani(uint32_t first[8], uint32_t second[8], const uint8_t* data, std::size_t blocks);
void sha512BlocksAvx2(uint64_t state[8], const uint8_t* data, std::size_t blocks);
void sha512BlocksAvx512(uint64_t state[8], const uint8_t* data, std::size_t blocks);
void sha512PairBlocksAvx512(uint64_t first[8], uint64_t second[8], const uint8_t* data, std::size_t blocks);
void sha512BlocksNeon(uint64_t state[8], const uint8_t* data, std::size_t blocks);
// In assembly (sha256_armv8.S).
extern "C" void sha256BlocksArmv8(uint32_t state[8], const uint8_t* data, std::size_t blocks);
void sha256BlocksNeon(uint32_t state[8], const uint8_t* data, std::size_t blocks);
// AArch64 with the ARMv8 SHA-256 and the ARMv8.2 SHA-512 instructions.
// In assembly (sha256_armv8_a64.S).
extern "C" void sha256BlocksArm64(uint32_t state[8], const uint8_t* data, std::size_t blocks);
void sha512BlocksArm64Sha512(uint64_t state[8], const uint8_t* data, std::size_t blocks);
