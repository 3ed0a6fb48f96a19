// The CRC-32 plugin (number 2): a 32-bit digest, written most significant byte first.
#include "fingerprint/crc32/crc32.h"

#include "fingerprint/byte_order.h"
#include "fingerprint/engine.h"
#include "fingerprint/kernels.h"
#include "fingerprint/plugin_state.h"

namespace {

struct Crc32State {
    FingerprintState head;
    Crc32Context context;
};

FingerprintState* crc32Start(int32_t, uint32_t) {
    return pluginstate::create<Crc32State>(32);
}

void crc32PluginUpdate(FingerprintState* state, const uint8_t* bytes, uint32_t count) {
    Crc32Context& context = pluginstate::of<Crc32State>(state)->context;
    context.crc = crc32Update(bytes, count, context.crc);
}

void crc32Finish(FingerprintState* state) {
    byteorder::store32be(state->digest, pluginstate::of<Crc32State>(state)->context.crc);
}

} // namespace

uint32_t crc32Update(const uint8_t* bytes, std::size_t count, uint32_t crc) {
    if (bytes == nullptr) return crc;
    return activeKernels().crc32(crc, bytes, count);
}

FingerprintPlugin crc32Plugin() {
    return {PluginCrc32, crc32Start, crc32PluginUpdate, crc32Finish, pluginstate::destroy<Crc32State>};
}
