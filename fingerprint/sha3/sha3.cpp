// The SHA-3 plugin (number 5): SHA3-224/256/384/512 as FIPS 202 defines them.
#include <climits>
#include <cstring>

#include "fingerprint/byte_order.h"
#include "fingerprint/sha3/sha3.h"
#include "fingerprint/sha3/sha3_parameters.h"

#include "fingerprint/engine.h"
#include "fingerprint/kernels.h"
#include "fingerprint/plugin_state.h"

namespace {

constexpr int32_t Finished = INT32_MIN; // `position` once the digest is final: later input is ignored

struct Sha3Context {
    uint64_t lanes[25]; // lane (x, y) at x + 5y; bytes little-endian, lane 0 first (FIPS 202 order)
    uint8_t block[sha3Rate(224)]; // pending input; the first `rate` bytes are used
    int32_t position;   // bytes pending in `block`, or Finished
    uint32_t rate;      // sha3Rate of the digest's length
};

struct Sha3State {
    FingerprintState head;
    Sha3Context context;
};

FingerprintState* sha3Start(int32_t bits, uint32_t) {
    if (bits == 0) bits = 256;
    if (!isSha3Length(bits)) return nullptr;
    FingerprintState* head = pluginstate::create<Sha3State>(bits);
    if (head != nullptr)
        pluginstate::of<Sha3State>(head)->context.rate = sha3Rate(bits);
    return head;
}

void sha3Update(FingerprintState* head, const uint8_t* bytes, uint32_t count) {
    Sha3Context& context = pluginstate::of<Sha3State>(head)->context;
    if (context.position < 0) return;
    const uint32_t rate = context.rate;
    const Keccak1600AbsorbFn absorb = activeKernels().keccak;
    uint32_t pending = static_cast<uint32_t>(context.position);
    // 64-bit sum: a count near 4 GiB must not wrap around.
    context.position = static_cast<int32_t>((pending + static_cast<uint64_t>(count)) % rate);

    if (pending != 0) {
        uint32_t room = rate - pending;
        if (count < room) {
            if (count != 0) std::memcpy(context.block + pending, bytes, count);
            return;
        }
        std::memcpy(context.block + pending, bytes, room);
        absorb(context.lanes, context.block, 1, rate);
        bytes += room;
        count -= room;
    }
    // The absorb function loads lanes at any alignment, so whole blocks never need a copy.
    if (count >= rate) {
        absorb(context.lanes, bytes, count / rate, rate);
        bytes += count / rate * rate;
        count %= rate;
    }
    if (count != 0) std::memcpy(context.block, bytes, count); // bytes may be absent when count is 0
}

void sha3Finish(FingerprintState* head) {
    Sha3Context& context = pluginstate::of<Sha3State>(head)->context;
    if (context.position >= 0) {
        // FIPS 202, 5.1 and B.2: the SHA-3 domain bits 01 and pad10*1 give 0x06 ... 0x80 (0x86 alone).
        const uint32_t rate = context.rate;
        const uint32_t pending = static_cast<uint32_t>(context.position);
        std::memset(context.block + pending, 0, rate - pending);
        context.block[pending] |= 0x06;
        context.block[rate - 1] |= 0x80;
        activeKernels().keccak(context.lanes, context.block, 1, rate);
        context.position = Finished;
    }
    const uint32_t digestBytes = sha3DigestBytes(context.rate);
    for (uint32_t i = 0; i < digestBytes / 8; ++i)
        byteorder::store64le(head->digest + 8 * i, context.lanes[i]);
    if (digestBytes % 8 != 0) { // SHA3-224: 28 bytes, half of lane 3
        uint8_t last[8];
        byteorder::store64le(last, context.lanes[digestBytes / 8]);
        std::memcpy(head->digest + digestBytes / 8 * 8, last, digestBytes % 8);
    }
}

} // namespace

FingerprintPlugin sha3Plugin() {
    return {PluginSha3, sha3Start, sha3Update, sha3Finish, pluginstate::destroy<Sha3State>};
}
