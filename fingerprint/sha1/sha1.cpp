// The SHA-1 plugin (number 3) and the exported SHA1Init / SHA1Update / SHA1Final / SHA1Transform.
#include "fingerprint/sha1/sha1.h"

#include <cstring>

#include "fingerprint/byte_order.h"
#include "fingerprint/engine.h"
#include "fingerprint/kernels.h"
#include "fingerprint/plugin_state.h"

void SHA1Transform(uint32_t hash[5], const uint8_t block[64], uint8_t* workspace) {
    if (workspace != nullptr) {
        std::memmove(workspace, block, 64);
        block = workspace;
    }
    activeKernels().sha1(hash, block, 1);
}

void SHA1Init(Sha1Context* context, uint32_t keepInput) {
    context->hash[0] = 0x67452301;
    context->hash[1] = 0xefcdab89;
    context->hash[2] = 0x98badcfe;
    context->hash[3] = 0x10325476;
    context->hash[4] = 0xc3d2e1f0;
    context->bitCount[0] = context->bitCount[1] = 0;
    context->keepInput = keepInput;
}

void SHA1Update(Sha1Context* context, const uint8_t* bytes, uint32_t count) {
    uint32_t j = (context->bitCount[0] >> 3) & 63;
    uint32_t low = context->bitCount[0] + (count << 3);
    if (low < context->bitCount[0]) ++context->bitCount[1];
    context->bitCount[0] = low;
    context->bitCount[1] += count >> 29;

    uint8_t* workspace = context->keepInput != 0 ? context->workspace : nullptr;
    uint32_t offset = 0;
    if (j + static_cast<uint64_t>(count) > 63) {
        offset = 64 - j;
        std::memcpy(context->buffer + j, bytes, offset);
        SHA1Transform(context->hash, context->buffer, workspace);
        uint32_t blocks = (count - offset) / 64;
        if (workspace != nullptr) {
            for (uint32_t n = 0; n < blocks; ++n)
                SHA1Transform(context->hash, bytes + offset + 64 * n, workspace);
        } else if (blocks > 0) {
            // Straight from the caller's bytes, the whole run in one call.
            activeKernels().sha1(context->hash, bytes + offset, blocks);
        }
        offset += blocks * 64;
        j = 0;
    }
    if (count > offset) std::memcpy(context->buffer + j, bytes + offset, count - offset);
}

void SHA1Final(uint8_t digest[20], Sha1Context* context) {
    // 0x80, then zeros up to 56 bytes into a block (bit count ≡ 448 mod 512), then the bit count,
    // written straight into the pending block: every pass ends here, small files mostly here.
    uint8_t* workspace = context->keepInput != 0 ? context->workspace : nullptr;
    uint32_t j = (context->bitCount[0] >> 3) & 63;
    context->buffer[j++] = 0x80;
    if (j > 56) {
        std::memset(context->buffer + j, 0, 64 - j);
        SHA1Transform(context->hash, context->buffer, workspace);
        j = 0;
    }
    std::memset(context->buffer + j, 0, 56 - j);
    byteorder::store32be(context->buffer + 56, context->bitCount[1]);
    byteorder::store32be(context->buffer + 60, context->bitCount[0]);
    SHA1Transform(context->hash, context->buffer, workspace);
    for (int i = 0; i < 5; ++i)
        byteorder::store32be(digest + 4 * i, context->hash[i]);
    std::memset(context->buffer, 0, sizeof context->buffer);
    std::memset(context->hash, 0, sizeof context->hash);
    std::memset(context->bitCount, 0, sizeof context->bitCount);
    std::memset(context->workspace, 0, sizeof context->workspace);
}

namespace {

struct Sha1State {
    FingerprintState head;
    Sha1Context context;
};

FingerprintState* sha1Start(int32_t, uint32_t flags) {
    FingerprintState* state = pluginstate::createForInit<Sha1State>(160); // init sets every field it reads
    if (state != nullptr) SHA1Init(&pluginstate::of<Sha1State>(state)->context, flags);
    return state;
}

void sha1PluginUpdate(FingerprintState* state, const uint8_t* bytes, uint32_t count) {
    SHA1Update(&pluginstate::of<Sha1State>(state)->context, bytes, count);
}

void sha1Finish(FingerprintState* state) {
    SHA1Final(state->digest, &pluginstate::of<Sha1State>(state)->context);
}

} // namespace

FingerprintPlugin sha1Plugin() {
    return {PluginSha1, sha1Start, sha1PluginUpdate, sha1Finish, pluginstate::destroy<Sha1State>};
}
