// One pass over a stream for several lengths of one family: the SHA-3 lanes pass or the SHA-2 pair pass,
// whichever the family is.
#include "fingerprint/family_pass.h"

#include <algorithm>
#include <new>
#include <variant>

#include "fingerprint/engine.h"
#include "fingerprint/kernels.h"
#include "fingerprint/sha2/sha2_pair_pass.h"
#include "fingerprint/sha3/sha3_lanes_pass.h"

static_assert(FamilyPassMembers == Sha3LanesPassMembers);

struct FamilyPass {
    std::size_t memberCount = 0;
    bool finished = false;
    std::variant<Sha3LanesPass, Sha2PairPass> lengths;
};

void FamilyPassDeleter::operator()(FamilyPass* pass) const {
    delete pass;
}

namespace {

// The SHA-2 pass family of a length; None for another.
PassFamily sha2FamilyOf(int bits) {
    if (bits == 224 || bits == 256) return PassFamily::Sha256;
    if (bits == 384 || bits == 512) return PassFamily::Sha512;
    return PassFamily::None;
}

} // namespace

PassFamily sharedPassFamily(int plugin, int bits) {
    const int length = bits == 0 ? 256 : bits;
    const KernelSet& kernels = activeKernels();
    if (plugin == PluginSha3 && isSha3Length(length))
        return kernels.keccakLaneCount >= 2 ? PassFamily::Sha3 : PassFamily::None;
    if (plugin != PluginSha2) return PassFamily::None;
    const PassFamily family = sha2FamilyOf(length);
    if (family == PassFamily::Sha256 && kernels.sha256Pair != nullptr) return family;
    if (family == PassFamily::Sha512 && kernels.sha512Pair != nullptr) return family;
    return PassFamily::None;
}

std::size_t familyPassWidth(PassFamily family) {
    if (family != PassFamily::Sha3) return 2;
    return std::min<std::size_t>(activeKernels().keccakLaneCount, FamilyPassMembers);
}

FamilyPassPtr startFamilyPass(PassFamily family, const std::vector<int>& bits) {
    if (bits.empty() || family == PassFamily::None) return nullptr;
    FamilyPassPtr pass(new (std::nothrow) FamilyPass{});
    if (!pass) return nullptr;
    pass->memberCount = bits.size();
    if (family == PassFamily::Sha3) {
        if (!startSha3LanesPass(pass->lengths.emplace<Sha3LanesPass>(), bits)) return nullptr;
    } else if (!startSha2PairPass(pass->lengths.emplace<Sha2PairPass>(), family == PassFamily::Sha512, bits)) {
        return nullptr;
    }
    return pass;
}

void updateFamilyPass(FamilyPass& pass, const uint8_t* bytes, uint32_t count) {
    if (pass.finished) return;
    if (auto* sha3 = std::get_if<Sha3LanesPass>(&pass.lengths))
        updateSha3LanesPass(*sha3, bytes, count);
    else
        updateSha2PairPass(std::get<Sha2PairPass>(pass.lengths), bytes, count);
}

void finishFamilyPass(FamilyPass& pass) {
    if (pass.finished) return;
    pass.finished = true;
    if (auto* sha3 = std::get_if<Sha3LanesPass>(&pass.lengths))
        finishSha3LanesPass(*sha3);
    else
        finishSha2PairPass(std::get<Sha2PairPass>(pass.lengths));
}

std::string familyDigestText(const FamilyPass& pass, std::size_t index) {
    if (!pass.finished || index >= pass.memberCount) return {};
    if (const auto* sha3 = std::get_if<Sha3LanesPass>(&pass.lengths)) return sha3LanesDigestText(*sha3, index);
    return sha2PairDigestText(std::get<Sha2PairPass>(pass.lengths), index);
}
