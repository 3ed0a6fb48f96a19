// Faster MD5 block function; same contract as md5BlocksPortable in kernels.h.
#pragma once

#include <cstddef>
#include <cstdint>

void md5BlocksBmi(uint32_t state[4], const uint8_t* data, std::size_t blocks);
