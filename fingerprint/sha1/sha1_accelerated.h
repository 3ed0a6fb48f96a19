// Accelerated SHA-1 block functions (x86-64, 32-bit and 64-bit ARM); same contract as sha1BlocksPortable in
// kernels.h.
#pragma once

#include <cstddef>
#include <cstdint>

void sha1BlocksShani(uint32_t state[5], const uint8_t* data, std::size_t blocks);
// In assembly (sha1_armv8.S).
extern "C" void sha1BlocksArmv8(uint32_t state[5], const uint8_t* data, std::size_t blocks);
void sha1BlocksNeon(uint32_t state[5], const uint8_t* data, std::size_t blocks);
// AArch64 with the ARMv8 SHA-1 instructions, in assembly (sha1_armv8_a64.S).
extern "C" void sha1BlocksArm64(uint32_t state[5], const uint8_t* data, std::size_t blocks);
