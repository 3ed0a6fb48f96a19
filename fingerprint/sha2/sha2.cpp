// The SHA-2 plugin (number 4): SHA-224 and SHA-256 on 32-bit words, SHA-384 and SHA-512 on 64-bit words.
#include "fingerprint/sha2/sha2.h"

#include <cstring>

#include "fingerprint/byte_order.h"
#include "fingerprint/engine.h"
#include "fingerprint/kernels.h"
#include "fingerprint/plugin_state.h"

namespace {

// Initial hash values, FIPS 180-4 5.3.2 to 5.3.5.
constexpr uint32_t Sha224Initial[8] = {0xc1059ed8, 0x367cd507, 0x3070dd17, 0xf70e5939,
                                       0xffc00b31, 0x68581511, 0x64f98fa7, 0xbefa4fa4};
constexpr uint32_t Sha256Initial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
constexpr uint64_t Sha384Initial[8] = {0xcbbb9d5dc1059ed8, 0x629a292a367cd507, 0x9159015a3070dd17,
                                       0x152fecd8f70e5939, 0x67332667ffc00b31, 0x8eb44a8768581511,
                                       0xdb0c2e0d64f98fa7, 0x47b5481dbefa4fa4};
constexpr uint64_t Sha512Initial[8] = {0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b,
                                       0xa54ff53a5f1d36f1, 0x510e527fade682d1, 0x9b05688c2b3e6c1f,
                                       0x1f83d9abfb41bd6b, 0x5be0cd19137e2179};

// Adds `count` to a byte count kept as a low and a high 32-bit word; returns the old count mod `blockSize`.
uint32_t countBytes(uint32_t byteCount[2], uint32_t count, uint32_t blockSize) {
    uint32_t pending = byteCount[0] % blockSize;
    uint32_t low = byteCount[0] + count;
    if (low < byteCount[0]) ++byteCount[1];
    byteCount[0] = low;
    return pending;
}

uint64_t bitLength(const uint32_t byteCount[2]) {
    return ((static_cast<uint64_t>(byteCount[1]) << 32) | byteCount[0]) << 3;
}

// Buffers a partial block, hands every run of whole blocks to the block function in one call.
template <std::size_t BlockSize, typename Word, typename BlocksFn>
void absorb(uint8_t (&block)[BlockSize], uint32_t byteCount[2], Word* hash, BlocksFn blocksFn,
            const uint8_t* bytes, uint32_t count) {
    uint32_t pending = countBytes(byteCount, count, BlockSize);
    if (pending != 0) {
        uint32_t room = BlockSize - pending;
        if (count < room) {
            if (count != 0) std::memcpy(block + pending, bytes, count);
            return;
        }
        std::memcpy(block + pending, bytes, room);
        blocksFn(hash, block, 1);
        bytes += room;
        count -= room;
    }
    // The block functions load words at any alignment, so whole blocks never need a copy.
    if (count >= BlockSize) {
        blocksFn(hash, bytes, count / BlockSize);
        bytes += count / BlockSize * BlockSize;
        count %= BlockSize;
    }
    if (count != 0) std::memcpy(block, bytes, count); // bytes may be absent when count is 0
}

// FIPS 180-4 5.1: 0x80, zeros, and the bit length in the last two words of the final block.
template <std::size_t BlockSize, typename Word, typename BlocksFn>
void pad(uint8_t (&block)[BlockSize], const uint32_t byteCount[2], Word* hash, BlocksFn blocksFn) {
    constexpr std::size_t LengthField = 2 * sizeof(Word); // 64 bits, or 128 bits with the upper half zero
    std::size_t pending = byteCount[0] % BlockSize;
    block[pending] = 0x80;
    std::memset(block + pending + 1, 0, BlockSize - pending - 1);
    if (pending >= BlockSize - LengthField) {
        blocksFn(hash, block, 1);
        std::memset(block, 0, BlockSize);
    }
    byteorder::store64be(block + BlockSize - 8, bitLength(byteCount));
    blocksFn(hash, block, 1);
}

FingerprintState* sha2Start(int32_t bits, uint32_t) {
    if (bits == 0) bits = 256;
    if (bits != 224 && bits != 256 && bits != 384 && bits != 512) return nullptr;
    FingerprintState* head = pluginstate::createForInit<Sha2State>(bits);
    if (head == nullptr) return nullptr;
    Sha2State* state = pluginstate::of<Sha2State>(head);
    // The pending block is written before it is read: only the count, the hash and the length are set.
    if (bits <= 256) {
        state->small.byteCount[0] = state->small.byteCount[1] = 0;
        std::memcpy(state->small.hash, bits == 224 ? Sha224Initial : Sha256Initial, sizeof state->small.hash);
        state->small.digestLength = static_cast<uint32_t>(bits / 8);
    } else {
        state->large.byteCount[0] = state->large.byteCount[1] = 0;
        std::memcpy(state->large.hash, bits == 384 ? Sha384Initial : Sha512Initial, sizeof state->large.hash);
        state->large.digestLength = static_cast<uint32_t>(bits / 8);
    }
    return head;
}

void sha2Update(FingerprintState* head, const uint8_t* bytes, uint32_t count) {
    Sha2State* state = pluginstate::of<Sha2State>(head);
    if (head->digestBits <= 256) {
        absorb(state->small.block, state->small.byteCount, state->small.hash, activeKernels().sha256, bytes,
               count);
    } else {
        absorb(state->large.block, state->large.byteCount, state->large.hash, activeKernels().sha512, bytes,
               count);
    }
}

void sha2Finish(FingerprintState* head) {
    Sha2State* state = pluginstate::of<Sha2State>(head);
    if (head->digestBits <= 256) {
        Sha256Context& context = state->small;
        pad(context.block, context.byteCount, context.hash, activeKernels().sha256);
        for (uint32_t i = 0; i < context.digestLength / 4; ++i)
            byteorder::store32be(head->digest + 4 * i, context.hash[i]);
    } else {
        Sha512Context& context = state->large;
        pad(context.block, context.byteCount, context.hash, activeKernels().sha512);
        for (uint32_t i = 0; i < context.digestLength / 8; ++i)
            byteorder::store64be(head->digest + 8 * i, context.hash[i]);
    }
}

// The context of a state for 224 or 256 bits (32-bit words) or for 384 or 512 (64-bit words).
template <typename Word> auto& contextOf(FingerprintState* head) {
    if constexpr (sizeof(Word) == 4)
        return pluginstate::of<Sha2State>(head)->small;
    else
        return pluginstate::of<Sha2State>(head)->large;
}

// The first state's pending block and count serve both; each block goes through `pair` for both.
template <typename Word>
void pairUpdate(void (*pair)(Word*, Word*, const uint8_t*, std::size_t), FingerprintState* first,
                FingerprintState* second, const uint8_t* bytes, uint32_t count) {
    auto& lead = contextOf<Word>(first);
    Word* other = contextOf<Word>(second).hash;
    absorb(lead.block, lead.byteCount, lead.hash,
           [pair, other](Word* hash, const uint8_t* data, std::size_t blocks) { pair(hash, other, data, blocks); },
           bytes, count);
}

template <typename Word>
void pairFinish(void (*pair)(Word*, Word*, const uint8_t*, std::size_t), FingerprintState* first,
                FingerprintState* second) {
    auto& lead = contextOf<Word>(first);
    Word* other = contextOf<Word>(second).hash;
    pad(lead.block, lead.byteCount, lead.hash,
        [pair, other](Word* hash, const uint8_t* data, std::size_t blocks) { pair(hash, other, data, blocks); });
    for (FingerprintState* head : {first, second}) {
        const auto& context = contextOf<Word>(head);
        for (uint32_t i = 0; i < context.digestLength / sizeof(Word); ++i) {
            if constexpr (sizeof(Word) == 4)
                byteorder::store32be(head->digest + 4 * i, context.hash[i]);
            else
                byteorder::store64be(head->digest + 8 * i, context.hash[i]);
        }
    }
}

} // namespace

void sha2PairUpdate(Sha256PairBlocksFn pair, FingerprintState* first, FingerprintState* second,
                    const uint8_t* bytes, uint32_t count) {
    pairUpdate(pair, first, second, bytes, count);
}

void sha2PairUpdate(Sha512PairBlocksFn pair, FingerprintState* first, FingerprintState* second,
                    const uint8_t* bytes, uint32_t count) {
    pairUpdate(pair, first, second, bytes, count);
}

void sha2PairFinish(Sha256PairBlocksFn pair, FingerprintState* first, FingerprintState* second) {
    pairFinish(pair, first, second);
}

void sha2PairFinish(Sha512PairBlocksFn pair, FingerprintState* first, FingerprintState* second) {
    pairFinish(pair, first, second);
}

FingerprintPlugin sha2Plugin() {
    return {PluginSha2, sha2Start, sha2Update, sha2Finish, pluginstate::destroy<Sha2State>};
}
