// The MD5 plugin (number 1) and the exported MD5Init / MD5Update / MD5Final of RFC 1321.
#include "fingerprint/md5/md5.h"

#include <cstring>

#include "fingerprint/byte_order.h"
#include "fingerprint/engine.h"
#include "fingerprint/kernels.h"
#include "fingerprint/plugin_state.h"

void MD5Init(Md5Context* context) {
    context->bitCount[0] = context->bitCount[1] = 0;
    context->abcd[0] = 0x67452301;
    context->abcd[1] = 0xefcdab89;
    context->abcd[2] = 0x98badcfe;
    context->abcd[3] = 0x10325476;
}

void MD5Update(Md5Context* context, const uint8_t* bytes, uint32_t count) {
    uint32_t index = (context->bitCount[0] >> 3) & 0x3f;
    uint32_t low = context->bitCount[0] + (count << 3);
    if (low < context->bitCount[0]) ++context->bitCount[1];
    context->bitCount[0] = low;
    context->bitCount[1] += count >> 29;

    uint32_t part = 64 - index;
    uint32_t offset = 0;
    if (count >= part) {
        std::memcpy(context->buffer + index, bytes, part);
        // The completed buffer and every full block after it go to the block function in one run.
        const Md5BlocksFn blocksFn = activeKernels().md5;
        blocksFn(context->abcd, context->buffer, 1);
        uint32_t blocks = (count - part) / 64;
        if (blocks > 0) blocksFn(context->abcd, bytes + part, blocks);
        offset = part + blocks * 64;
        index = 0;
    }
    if (count > offset) std::memcpy(context->buffer + index, bytes + offset, count - offset);
}

void MD5Final(uint8_t digest[16], Md5Context* context) {
    // 0x80, zeros up to 56 bytes into a block, then the bit count, written straight into the
    // pending block: every pass ends here, small files mostly here.
    const Md5BlocksFn blocksFn = activeKernels().md5;
    uint32_t index = (context->bitCount[0] >> 3) & 0x3f;
    context->buffer[index++] = 0x80;
    if (index > 56) {
        std::memset(context->buffer + index, 0, 64 - index);
        blocksFn(context->abcd, context->buffer, 1);
        index = 0;
    }
    std::memset(context->buffer + index, 0, 56 - index);
    byteorder::store32le(context->buffer + 56, context->bitCount[0]);
    byteorder::store32le(context->buffer + 60, context->bitCount[1]);
    blocksFn(context->abcd, context->buffer, 1);
    for (int i = 0; i < 4; ++i)
        byteorder::store32le(digest + 4 * i, context->abcd[i]);
    std::memset(context, 0, sizeof *context);
}

namespace {

struct Md5State {
    FingerprintState head;
    Md5Context context;
};

FingerprintState* md5Start(int32_t, uint32_t) {
    FingerprintState* state = pluginstate::createForInit<Md5State>(128); // init sets every field it reads
    if (state != nullptr) MD5Init(&pluginstate::of<Md5State>(state)->context);
    return state;
}

void md5PluginUpdate(FingerprintState* state, const uint8_t* bytes, uint32_t count) {
    MD5Update(&pluginstate::of<Md5State>(state)->context, bytes, count);
}

void md5Finish(FingerprintState* state) {
    MD5Final(state->digest, &pluginstate::of<Md5State>(state)->context);
}

} // namespace

FingerprintPlugin md5Plugin() {
    return {PluginMd5, md5Start, md5PluginUpdate, md5Finish, pluginstate::destroy<Md5State>};
}
