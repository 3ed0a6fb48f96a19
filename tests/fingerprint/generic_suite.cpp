// The generic property suite over all eleven slots, run with one set of block functions in force.
#include "generic_suite.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "test_support.h"

namespace testkit {

namespace {

constexpr std::size_t LongestLength = 4200;
constexpr std::size_t Alignments = 8;

std::string describePieces(const std::vector<std::size_t>& pieces) {
    std::string text;
    for (std::size_t piece : pieces)
        text += std::to_string(piece) + " ";
    return text.empty() ? "whole" : text + "+ rest";
}

} // namespace

void checkEveryLength(const KernelSet& kernels) {
    registerPluginsOnce();
    setActiveKernels(kernels);
    const std::vector<uint8_t> bytes = randomBytes(LongestLength, 1);
    for (const Slot& slot : Slots) {
        for (std::size_t length = 0; length <= LongestLength; ++length) {
            std::string expected = oracleDigest(slot, bytes.data(), length);
            std::string actual = pluginDigest(slot, bytes.data(), length);
            if (actual != expected) {
                ADD_FAILURE() << slot.name << " of " << length << " bytes: " << actual << ", oracle "
                              << expected;
                break;
            }
        }
    }
}

void checkPaddingBoundaries(const KernelSet& kernels) {
    registerPluginsOnce();
    setActiveKernels(kernels);
    std::vector<std::size_t> boundaries = {0, 1, 55, 56, 63, 64, 65, 111, 112, 127, 128, 129};
    for (std::size_t rate : {72, 104, 136, 144}) {
        boundaries.push_back(rate - 1);
        boundaries.push_back(rate);
        boundaries.push_back(rate + 1);
    }
    const std::vector<uint8_t> storage = randomBytes(3 * 144 + 144 + Alignments, 2);
    for (const Slot& slot : Slots) {
        for (std::size_t blocks = 0; blocks <= 2; ++blocks) {
            for (std::size_t boundary : boundaries) {
                const std::size_t length = blocks * slot.blockSize + boundary;
                for (std::size_t shift = 0; shift < Alignments; ++shift) {
                    const uint8_t* start = storage.data() + shift;
                    std::string expected = oracleDigest(slot, start, length);
                    EXPECT_EQ(pluginDigest(slot, start, length), expected)
                        << slot.name << ", " << length << " bytes at address offset " << shift;
                }
            }
        }
    }
}

void checkRandomPieces(const KernelSet& kernels, int inputs) {
    registerPluginsOnce();
    setActiveKernels(kernels);
    std::mt19937 generator(3);
    const std::vector<uint8_t> storage = randomBytes((1 << 20) + 4096 + Alignments, 4);
    for (const Slot& slot : Slots) {
        for (int input = 0; input < inputs; ++input) {
            // Every 200th input is long enough to cross the driver's 1 MiB block size.
            const std::size_t length =
                input % 200 == 199 ? (1 << 20) + generator() % 4096 : generator() % 3072;
            const std::size_t shift = generator() % Alignments;
            std::vector<std::size_t> pieces;
            std::size_t covered = 0;
            while (covered < length && pieces.size() < 40) {
                std::size_t piece = 0;
                switch (generator() % 6) {
                case 0:
                    piece = 0;
                    break;
                case 1:
                    piece = 1;
                    break;
                case 2:
                    piece = slot.blockSize - 1 + generator() % 3;
                    break;
                case 3:
                    piece = generator() % 17;
                    break;
                case 4:
                    piece = generator() % 700;
                    break;
                default:
                    piece = generator() % (length + 1);
                    break;
                }
                pieces.push_back(piece);
                covered += piece;
            }
            const uint8_t* start = storage.data() + shift;
            std::string expected = oracleDigest(slot, start, length);
            std::string actual = pluginDigest(slot, start, length, pieces);
            if (actual != expected) {
                ADD_FAILURE() << slot.name << " of " << length << " bytes at address offset " << shift
                              << " in pieces " << describePieces(pieces) << ": " << actual << ", oracle "
                              << expected;
                break;
            }
        }
    }
}

} // namespace testkit
