// Accelerated SHA-1 block function (x86-64); same contract as sha1BlocksPortable in kernels.h.
#pragma once

#include <cstddef>
#include <cstdint>

void sha1BlocksShani(uint32_t state[5], const uint8_t* data, std::size_t blocks);
