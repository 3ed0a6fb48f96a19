// SHA-1 (FIPS 180-4): the context and the exported context operations used by the SHA-1 plugin.
#pragma once

#include "fingerprint/engine.h"

#include <cstdint>

struct Sha1Context {
    uint32_t hash[5];     // chaining values H0..H4
    uint32_t bitCount[2]; // message length in bits: low word, then high word
    uint8_t buffer[64];   // pending input
    uint32_t keepInput;   // non-zero: every block is compressed from a copy in `workspace`
    uint8_t workspace[64];
};

// `keepInput` non-zero asks for the workspace copy, so blocks taken from the caller stay untouched.
void SHA1Init(Sha1Context* context, uint32_t keepInput);
void SHA1Update(Sha1Context* context, const uint8_t* bytes, uint32_t count);
// Writes the 20 digest bytes, then wipes `buffer`, `hash`, `bitCount` and `workspace`.
void SHA1Final(uint8_t digest[20], Sha1Context* context);
// One compression of a 64-byte block into `hash`. With a workspace the block is copied there and
// compressed from the copy. The block itself is never written to.
void SHA1Transform(uint32_t hash[5], const uint8_t block[64], uint8_t* workspace);

// The plugin's number and operations, for the plugin table to register.
[[nodiscard]] FingerprintPlugin sha1Plugin();
