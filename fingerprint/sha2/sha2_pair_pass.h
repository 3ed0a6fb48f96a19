// SHA-224 with SHA-256, or SHA-384 with SHA-512, of one stream in one pass: the two-state kernel of their
// word size runs the blocks of both, one message schedule for the two.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fingerprint/engine.h"
#include "fingerprint/kernels.h"

struct Sha2PairPass {
    bool wide = false; // SHA-384 and SHA-512 (64-bit words) rather than SHA-224 and SHA-256
    std::size_t memberCount = 0;
    // The plugin's states, in the order of `bits`; with two, the first keeps the pending block for both.
    const FingerprintPlugin* sha2 = nullptr;
    Sha256PairBlocksFn pair256 = nullptr;
    Sha512PairBlocksFn pair512 = nullptr;
    FingerprintStatePtr states[2];
};

// Sets up `pass` for one or two lengths of one word size (`wide`), each once (0 for 256); false for a
// length of the other size, a repeated one, more than two, or no memory.
[[nodiscard]] bool startSha2PairPass(Sha2PairPass& pass, bool wide, const std::vector<int>& bits);
void updateSha2PairPass(Sha2PairPass& pass, const uint8_t* bytes, uint32_t count);
void finishSha2PairPass(Sha2PairPass& pass);
[[nodiscard]] std::string sha2PairDigestText(const Sha2PairPass& pass, std::size_t index);
