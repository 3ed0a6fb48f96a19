// SHA-224/256 compression for 32-bit ARM cores with NEON but without the SHA instructions: the
// kernel is sha256_neon.S (ARM state, hand-ordered); this gives it the name the dispatcher calls.
#include "fingerprint/sha2/sha2_accelerated.h"

extern "C" void sha256BlocksNeonArm(uint32_t state[8], const uint8_t* data, std::size_t blocks);

void sha256BlocksNeon(uint32_t state[8], const uint8_t* data, std::size_t blocks) {
    sha256BlocksNeonArm(state, data, blocks);
}
