// CRC-32 on ARMv7 NEON cores without the ARMv8 CRC32 and PMULL instructions: folding with 8-bit
// polynomial multiplies (crc32_neon.S), the last 64 bytes and the tail through the table kernel.
#include <array>
#include <cstring>

#include "fingerprint/crc32/crc32_accelerated.h"
#include "fingerprint/crc32/crc32_fold.h"
#include "fingerprint/kernels.h"

extern "C" void crc32FoldNeonP8(uint8_t lanes[64], const uint8_t* data, std::size_t steps,
                                const uint8_t multipliers[64]);

namespace {

constexpr std::size_t LaneBytes = 16;
constexpr std::size_t Lanes = 4;
constexpr std::size_t StepBytes = Lanes * LaneBytes;

// The byte reorderings the loop multiplies: as it is, VREV32.8, VREV64.32, VREV64.8. Each moves the
// byte at position p of a lane to position p ^ mask.
constexpr unsigned Reorderings[4] = {0, 3, 4, 7};

// Solves for one byte of a lane the four multiplier bytes that move it `StepBytes` forward.
//
// Reflected bit order: bit t of a 16-byte lane (byte t / 8, bit t % 8) is the coefficient of
// x^(127 - t) relative to the lane's end, and a lane StepBytes further on has its bits 8 * StepBytes
// lower. VMULL.P8 puts the product of the bytes in lane l at bits 16 l .. 16 l + 14 of its result, so
// multiplier bit v in lane l sends data bit u of byte p from x^(127 - 8p - u) to x^(127 - 16l - u - v)
// of the new lane. The sum over the set multiplier bits must therefore be x^(8 StepBytes + 127 - 8p)
// modulo P: 32 equations (the residue's bits) in 32 unknowns (four lanes' eight bits), solved here by
// elimination over GF(2). Returns the unknowns, multiplier k in bits 8k .. 8k + 7.
constexpr uint32_t multiplierBytes(unsigned p) {
    // Rows: the residue of each unknown's term and which unknowns were combined into it.
    uint32_t residue[32] = {};
    uint32_t combination[32] = {};
    bool pivotTaken[32] = {};
    for (unsigned k = 0; k < 4; ++k) {
        const unsigned lane = (p ^ Reorderings[k]) % 8;
        for (unsigned v = 0; v < 8; ++v) {
            uint32_t r = crc32fold::xPowerModP(127 - 16 * lane - v);
            uint32_t c = 1u << (8 * k + v);
            // Reduce against the rows already placed, then place it at its top bit.
            for (int bit = 31; bit >= 0; --bit) {
                if (!((r >> bit) & 1u)) continue;
                if (pivotTaken[bit]) {
                    r ^= residue[bit];
                    c ^= combination[bit];
                } else {
                    pivotTaken[bit] = true;
                    residue[bit] = r;
                    combination[bit] = c;
                    break;
                }
            }
        }
    }
    uint32_t target = crc32fold::xPowerModP(8 * StepBytes + 127 - 8 * p);
    uint32_t solution = 0;
    for (int bit = 31; bit >= 0; --bit) {
        if (!((target >> bit) & 1u)) continue;
        if (!pivotTaken[bit]) throw "these four lanes do not span every residue";
        target ^= residue[bit];
        solution ^= combination[bit];
    }
    return solution;
}

// The eight D registers the loop multiplies by, in the order it loads them: for each reordering its
// low then high half. Lane l of the half h holds the multiplier of the byte that lands there,
// byte 8h + (l ^ mask).
constexpr std::array<uint8_t, 64> makeMultipliers() {
    std::array<uint8_t, 64> table{};
    for (unsigned p = 0; p < LaneBytes; ++p) {
        const uint32_t bytes = multiplierBytes(p);
        for (unsigned k = 0; k < 4; ++k) {
            const unsigned position = p ^ Reorderings[k];
            table[16 * k + position] = static_cast<uint8_t>(bytes >> (8 * k));
        }
    }
    return table;
}

alignas(16) constexpr std::array<uint8_t, 64> Multipliers = makeMultipliers();

} // namespace

uint32_t crc32Neon(uint32_t crc, const uint8_t* data, std::size_t length) {
    if (data == nullptr) return crc;
    // Below two runs the table kernel alone is as fast as starting the lanes.
    if (length < 2 * StepBytes) return crc32Portable(crc, data, length);

    // Starting from register 0 with the running register XORed into the first four bytes gives the
    // same remainder as starting from the register itself.
    alignas(16) uint8_t lanes[StepBytes];
    std::memcpy(lanes, data, StepBytes);
    const uint32_t running = ~crc;
    for (int i = 0; i < 4; ++i)
        lanes[i] ^= static_cast<uint8_t>(running >> (8 * i));

    const std::size_t steps = length / StepBytes - 1;
    crc32FoldNeonP8(lanes, data + StepBytes, steps, Multipliers.data());
    // The lanes now stand for everything up to the tail; their CRC from register 0 (finished form
    // 0xFFFFFFFF) is the CRC so far.
    const uint32_t folded = crc32Portable(0xFFFFFFFFu, lanes, StepBytes);
    const std::size_t done = (steps + 1) * StepBytes;
    return crc32Portable(folded, data + done, length - done);
}
