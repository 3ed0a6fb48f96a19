// One pass over a stream for several lengths of one family: the SHA-3 lengths share a multi-lane Keccak,
// one permutation advancing all their states. The job's scheduler runs a family's ticked slots this way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Lengths of one family in one pass: at most four, each as its plugin's start takes it.
constexpr std::size_t FamilyPassMembers = 4;

// The family (its plugin number) whose lengths share a pass with the kernels in force, or 0 when a slot
// of `plugin` and `bits` is best left to a pass of its own: not a SHA-3 length, or no kernel that runs
// several Keccak states side by side (one state at a time, one pass per core spreads them better).
[[nodiscard]] int sharedPassFamily(int plugin, int bits);

// The most lengths that one family pass should take with the kernels in force: as many as a call of the
// multi-lane kernel advances, so that the passes of a whole family can go to several cores.
[[nodiscard]] std::size_t familyPassWidth();

// The time of one family pass over lengths whose own passes take `costs` (in any unit) with the
// kernels in force: a kernel call permutes all its lanes once for each block of its smallest rate,
// at the kernel's cost against one state's, and a length alone in its call runs as it would alone.
[[nodiscard]] int familyPassCost(std::vector<int> costs);

struct FamilyPass;
struct FamilyPassDeleter {
    void operator()(FamilyPass* pass) const;
};
using FamilyPassPtr = std::unique_ptr<FamilyPass, FamilyPassDeleter>;

// A pass of `family` for the lengths `bits` (each once; 0 means the plugin's default, 256), with the
// kernels in force now for its whole life; none for another family, a length the plugin does not
// take, a repeated one, more than FamilyPassMembers, none at all, or no memory.
[[nodiscard]] FamilyPassPtr startFamilyPass(int family, const std::vector<int>& bits);

// Feeds every length the same bytes, as the plugin's update would feed each on its own.
void updateFamilyPass(FamilyPass& pass, const uint8_t* bytes, uint32_t count);

// Pads every length and takes its digest, exactly once per pass.
void finishFamilyPass(FamilyPass& pass);

// Member `index`'s digest text (in the order of `bits` at the start), as digestText gives it for the
// length's own pass; the empty text before the finish or for an index past the members.
[[nodiscard]] std::string familyDigestText(const FamilyPass& pass, std::size_t index);
