// SHA-2 (FIPS 180-4): the contexts of the two word families and the SHA-2 plugin's state.
#pragma once

#include <cstdint>

#include "fingerprint/engine.h"
#include "fingerprint/kernels.h"

struct Sha256Context {
    uint8_t block[64];     // pending part of the current block
    uint32_t byteCount[2]; // message bytes so far: low word, then high word
    uint32_t hash[8];
    uint32_t digestLength; // 28 or 32
};

struct Sha512Context {
    uint8_t block[128];
    uint32_t byteCount[2];
    uint64_t hash[8];
    uint32_t digestLength; // 48 or 64
};

// The plugin state: the common head, then the context that `digestBits` selects.
struct Sha2State {
    FingerprintState head;
    union {
        Sha256Context small; // digestBits 224 and 256
        Sha512Context large; // digestBits 384 and 512
    };
};

// The plugin's number and operations, for the plugin table to register.
[[nodiscard]] FingerprintPlugin sha2Plugin();

// Two states of the plugin that take the same message (a family pass), both for 224 or 256 bits with a
// Sha256PairBlocksFn, or both for 384 or 512 with a Sha512PairBlocksFn: the first keeps the pending
// block and the count for both, and `pair` runs every block for both, so each ends with the digest its
// own pass would give. The second's pending block and count stay unused.
void sha2PairUpdate(Sha256PairBlocksFn pair, FingerprintState* first, FingerprintState* second,
                    const uint8_t* bytes, uint32_t count);
void sha2PairUpdate(Sha512PairBlocksFn pair, FingerprintState* first, FingerprintState* second,
                    const uint8_t* bytes, uint32_t count);
// Pads the message once for both and puts each digest in its head, exactly once per pair.
void sha2PairFinish(Sha256PairBlocksFn pair, FingerprintState* first, FingerprintState* second);
void sha2PairFinish(Sha512PairBlocksFn pair, FingerprintState* first, FingerprintState* second);
