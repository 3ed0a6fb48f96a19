// The generic properties on the portable block functions and on the set this CPU chooses.
#include <gtest/gtest.h>

#include "fingerprint/kernels.h"
#include "generic_suite.h"
#include "test_support.h"

namespace {

constexpr int RandomInputs = 1000;

KernelSet chosenKernels() {
    testkit::registerPluginsOnce();
    chooseKernels();
    return activeKernels();
}

class KernelProperties : public testing::TestWithParam<bool> {
  protected:
    KernelSet kernels() const { return GetParam() ? portableKernels() : chosenKernels(); }
    void TearDown() override { chooseKernels(); }
};

TEST_P(KernelProperties, EveryLengthMatchesOracle) {
    testkit::checkEveryLength(kernels());
}

TEST_P(KernelProperties, PaddingBoundariesAtEveryAlignment) {
    testkit::checkPaddingBoundaries(kernels());
}

TEST_P(KernelProperties, RandomPiecesMatchOracle) {
    testkit::checkRandomPieces(kernels(), RandomInputs);
}

INSTANTIATE_TEST_SUITE_P(Paths, KernelProperties, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Portable" : "Chosen";
                         });

} // namespace
