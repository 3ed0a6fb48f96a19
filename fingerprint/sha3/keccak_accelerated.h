// Faster Keccak-f[1600] absorb functions; same contract as keccak1600AbsorbPortable in kernels.h.
#pragma once

#include <cstddef>
#include <cstdint>

void keccak1600AbsorbBmi(uint64_t lanes[25], const uint8_t* data, std::size_t blocks, std::size_t rate);
void keccak1600AbsorbNeon(uint64_t lanes[25], const uint8_t* data, std::size_t blocks, std::size_t rate);
