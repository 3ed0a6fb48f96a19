// One pass over a stream for several lengths of one family: the SHA-3 lengths share a multi-lane Keccak,
// one permutation advancing all their states; SHA-224 with SHA-256, and SHA-384 with SHA-512, share a
// two-state kernel, one message schedule for both. The job's scheduler runs a family's ticked slots this way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Lengths of one family in one pass: at most four, each as its plugin's start takes it.
constexpr std::size_t FamilyPassMembers = 4;

// The lengths that can share a pass: they hash the same bytes with one compression function.
enum class PassFamily { None, Sha3, Sha256, Sha512 };

// The family whose lengths share a pass with the kernels in force, or None when a slot of `plugin` and
// `bits` is best left to a pass of its own: no such family, or no kernel that runs several states of
// its family side by side (one state at a time, one pass per core spreads them better).
[[nodiscard]] PassFamily sharedPassFamily(int plugin, int bits);

// The most lengths that one pass of `family` should take with the kernels in force: as many as a call of
// its multi-state kernel advances, so that the passes of a whole family can go to several cores.
[[nodiscard]] std::size_t familyPassWidth(PassFamily family);

struct FamilyPass;
struct FamilyPassDeleter {
    void operator()(FamilyPass* pass) const;
};
using FamilyPassPtr = std::unique_ptr<FamilyPass, FamilyPassDeleter>;

// A pass of `family` for the lengths `bits` (each once; 0 means the plugin's default, 256), with the
// kernels in force now for its whole life; none for a length outside the family, a repeated one, more
// than the family takes (four SHA-3 lengths, two SHA-2 ones), none at all, or no memory. Without a kernel
// for several states, each state goes through its family's single-state kernel.
[[nodiscard]] FamilyPassPtr startFamilyPass(PassFamily family, const std::vector<int>& bits);

// Feeds every length the same bytes, as the plugin's update would feed each on its own.
void updateFamilyPass(FamilyPass& pass, const uint8_t* bytes, uint32_t count);

// Pads every length and takes its digest, exactly once per pass.
void finishFamilyPass(FamilyPass& pass);

// Member `index`'s digest text (in the order of `bits` at the start), as digestText gives it for the
// length's own pass; the empty text before the finish or for an index past the members.
[[nodiscard]] std::string familyDigestText(const FamilyPass& pass, std::size_t index);
