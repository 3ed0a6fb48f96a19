// Two SHA-2 lengths of one word size in one pass, through the pair kernel or, where there is none, the
// single-state kernel twice.
#include "fingerprint/sha2/sha2_pair_pass.h"

#include "fingerprint/sha2/sha2.h"

namespace {

// True for a length of the word size: 224 and 256 narrow, 384 and 512 wide.
bool ofWordSize(int bits, bool wide) {
    return wide ? bits == 384 || bits == 512 : bits == 224 || bits == 256;
}

// Both states through the single-state kernel, where no kernel runs them side by side.
void sha256PairThroughSingles(uint32_t first[8], uint32_t second[8], const uint8_t* data, std::size_t blocks) {
    const Sha256BlocksFn single = activeKernels().sha256;
    single(first, data, blocks);
    single(second, data, blocks);
}

void sha512PairThroughSingles(uint64_t first[8], uint64_t second[8], const uint8_t* data, std::size_t blocks) {
    const Sha512BlocksFn single = activeKernels().sha512;
    single(first, data, blocks);
    single(second, data, blocks);
}

} // namespace

bool startSha2PairPass(Sha2PairPass& pass, bool wide, const std::vector<int>& bits) {
    if (bits.empty() || bits.size() > 2) return false;
    const KernelSet& kernels = activeKernels();
    pass.wide = wide;
    pass.memberCount = bits.size();
    pass.sha2 = findPlugin(PluginSha2);
    pass.pair256 = kernels.sha256Pair != nullptr ? kernels.sha256Pair : sha256PairThroughSingles;
    pass.pair512 = kernels.sha512Pair != nullptr ? kernels.sha512Pair : sha512PairThroughSingles;
    for (std::size_t index = 0; index < bits.size(); ++index) {
        const int length = bits[index] == 0 ? 256 : bits[index];
        if (!ofWordSize(length, wide) || (index == 1 && pass.states[0]->digestBits == length)) return false;
        pass.states[index] = startFingerprint(pass.sha2, length);
        if (!pass.states[index]) return false;
    }
    return true;
}

void updateSha2PairPass(Sha2PairPass& pass, const uint8_t* bytes, uint32_t count) {
    FingerprintState* first = pass.states[0].get();
    if (pass.memberCount == 1)
        pass.sha2->update(first, bytes, count);
    else if (!pass.wide)
        sha2PairUpdate(pass.pair256, first, pass.states[1].get(), bytes, count);
    else
        sha2PairUpdate(pass.pair512, first, pass.states[1].get(), bytes, count);
}

void finishSha2PairPass(Sha2PairPass& pass) {
    FingerprintState* first = pass.states[0].get();
    if (pass.memberCount == 1)
        pass.sha2->finish(first);
    else if (!pass.wide)
        sha2PairFinish(pass.pair256, first, pass.states[1].get());
    else
        sha2PairFinish(pass.pair512, first, pass.states[1].get());
}

std::string sha2PairDigestText(const Sha2PairPass& pass, std::size_t index) {
    return index < pass.memberCount ? digestText(pass.states[index].get()) : std::string();
}
