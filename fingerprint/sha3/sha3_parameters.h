// The SHA-3 lengths and their rates (FIPS 202, 6.1), in one place for the plugin, the family pass and the
// job's cost model.
#pragma once

#include <cstdint>

// Bytes of the Keccak-f[1600] state; no rate is larger.
constexpr uint32_t KeccakStateBytes = 200;

constexpr bool isSha3Length(int bits) {
    return bits == 224 || bits == 256 || bits == 384 || bits == 512;
}

// The bytes absorbed per permutation: the state less a capacity of twice the digest (144, 136, 104, 72).
constexpr uint32_t sha3Rate(int bits) {
    return KeccakStateBytes - 2 * static_cast<uint32_t>(bits / 8);
}

// The digest bytes of a rate, the inverse of sha3Rate.
constexpr uint32_t sha3DigestBytes(uint32_t rate) {
    return (KeccakStateBytes - rate) / 2;
}
