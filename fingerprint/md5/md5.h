// MD5 (RFC 1321): the context and the exported context operations used by the MD5 plugin.
#pragma once

#include "fingerprint/engine.h"

#include <cstdint>

struct Md5Context {
    uint32_t abcd[4];     // chaining values A, B, C, D
    uint32_t bitCount[2]; // message length in bits: low word, then high word
    uint8_t buffer[64];   // pending input
};

void MD5Init(Md5Context* context);
void MD5Update(Md5Context* context, const uint8_t* bytes, uint32_t count);
// Writes the 16 digest bytes, then zeroes the whole context.
void MD5Final(uint8_t digest[16], Md5Context* context);

// The plugin's number and operations, for the plugin table to register.
[[nodiscard]] FingerprintPlugin md5Plugin();
