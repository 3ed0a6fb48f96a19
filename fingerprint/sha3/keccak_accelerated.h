// Faster Keccak-f[1600] absorb functions; same contracts as keccak1600AbsorbPortable and
// Keccak1600AbsorbLanesFn in kernels.h.
#pragma once

#include <cstddef>
#include <cstdint>

void keccak1600AbsorbBmi(uint64_t lanes[25], const uint8_t* data, std::size_t blocks, std::size_t rate);
void keccak1600AbsorbNeon(uint64_t lanes[25], const uint8_t* data, std::size_t blocks, std::size_t rate);

// Four states side by side.
void keccak1600AbsorbLanesAvx2(uint64_t* words, const uint8_t* const data[], const std::size_t blocks[],
                               const std::size_t rates[]);
void keccak1600AbsorbLanesAvx512(uint64_t* words, const uint8_t* const data[], const std::size_t blocks[],
                                 const std::size_t rates[]);
// Two states side by side, in Q registers.
void keccak1600AbsorbLanesNeon(uint64_t* words, const uint8_t* const data[], const std::size_t blocks[],
                               const std::size_t rates[]);

// AArch64: one state, and two side by side, with the ARMv8.2 SHA-3 instructions; two with Advanced SIMD.
void keccak1600AbsorbArm64Sha3(uint64_t lanes[25], const uint8_t* data, std::size_t blocks, std::size_t rate);
void keccak1600AbsorbLanesArm64Sha3(uint64_t* words, const uint8_t* const data[], const std::size_t blocks[],
                                    const std::size_t rates[]);
void keccak1600AbsorbLanesArm64Neon(uint64_t* words, const uint8_t* const data[], const std::size_t blocks[],
                                    const std::size_t rates[]);
