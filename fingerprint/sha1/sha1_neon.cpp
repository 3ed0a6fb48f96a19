// SHA-1 compression for 32-bit ARM cores with NEON but without the SHA instructions: the entry point the
// dispatcher uses, in front of the hand-scheduled rounds in sha1_neon.S.
#include "fingerprint/sha1/sha1_accelerated.h"

extern "C" void hwSha1BlocksNeon(uint32_t state[5], const uint8_t* data, std::size_t blocks);

void sha1BlocksNeon(uint32_t state[5], const uint8_t* data, std::size_t blocks) {
    // The assembly reads a block before it counts it.
    if (blocks > 0)
        hwSha1BlocksNeon(state, data, blocks);
}
