// Two Keccak states in the Q registers of 32-bit ARM NEON: the entry point over the assembly permutation
// loop (keccak_lanes_neon.S, whose opening comment explains the frame).
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "fingerprint/sha3/keccak_accelerated.h"

extern "C" void hw_keccak_lanes_neon_absorb(uint64_t frame[100], const uint8_t* const data[2], const uint32_t rates[2],
                                            uint32_t steps);

namespace {

constexpr std::size_t LaneCount = 2;

// Where the assembly keeps word (x, y) = w of both states between steps: the slot of output row
// 2(x - y) mod 5, column y, so that each round reads its rows from consecutive slots.
constexpr std::array<uint8_t, 25> Slots = [] {
    std::array<uint8_t, 25> slots{};
    for (int w = 0; w < 25; ++w) {
        const int x = w % 5, y = w / 5;
        slots[w] = static_cast<uint8_t>(5 * ((2 * (x - y) + 10) % 5) + y);
    }
    return slots;
}();

// The blocks that one lane has past the other's: its state alone through the single-state kernel.
void absorbAlone(uint64_t* words, std::size_t lane, const uint8_t* data, std::size_t blocks, std::size_t rate) {
    uint64_t state[25];
    for (std::size_t w = 0; w < 25; ++w)
        state[w] = words[LaneCount * w + lane];
    keccak1600AbsorbNeon(state, data, blocks, rate);
    for (std::size_t w = 0; w < 25; ++w)
        words[LaneCount * w + lane] = state[w];
}

} // namespace

void keccak1600AbsorbLanesNeon(uint64_t* words, const uint8_t* const data[], const std::size_t blocks[],
                               const std::size_t rates[]) {
    const std::size_t both = std::min(blocks[0], blocks[1]);
    if (both > 0) {
        alignas(16) uint64_t frame[2 * LaneCount * 25];
        for (std::size_t w = 0; w < 25; ++w) {
            frame[LaneCount * Slots[w]] = words[LaneCount * w];
            frame[LaneCount * Slots[w] + 1] = words[LaneCount * w + 1];
        }
        const uint32_t laneRates[LaneCount] = {static_cast<uint32_t>(rates[0]), static_cast<uint32_t>(rates[1])};
        hw_keccak_lanes_neon_absorb(frame, data, laneRates, static_cast<uint32_t>(both));
        for (std::size_t w = 0; w < 25; ++w) {
            words[LaneCount * w] = frame[LaneCount * Slots[w]];
            words[LaneCount * w + 1] = frame[LaneCount * Slots[w] + 1];
        }
    }
    for (std::size_t lane = 0; lane < LaneCount; ++lane)
        if (blocks[lane] > both) absorbAlone(words, lane, data[lane] + both * rates[lane], blocks[lane] - both, rates[lane]);
}
