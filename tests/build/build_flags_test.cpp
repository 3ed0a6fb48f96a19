// The flags every source of the build was compiled with, as the compiler reports them: the builds that
// ship carry the stack protector, glibc's checks and on arm64 branch protection, the sanitizer builds
// none of them.
#include <gtest/gtest.h>

TEST(BuildFlags, HardeningOnlyInTheBuildsThatShip) {
#if defined(__SSP_STRONG__) || defined(__SSP_ALL__) || defined(__SSP__)
    constexpr bool stackProtector = true;
#else
    constexpr bool stackProtector = false;
#endif
#ifdef _FORTIFY_SOURCE
    constexpr bool fortified = true;
#else
    constexpr bool fortified = false;
#endif
    EXPECT_EQ(stackProtector, HW_EXPECT_HARDENING != 0);
    EXPECT_EQ(fortified, HW_EXPECT_FORTIFY != 0);
}

// On arm64 the builds that ship sign return addresses (PAC) and mark the targets of indirect branches
// (BTI) in every function; the compiler says so through the ACLE's feature macros.
TEST(BuildFlags, BranchProtectionOnArm64InTheBuildsThatShip) {
#ifndef __aarch64__
    GTEST_SKIP() << "branch protection is built for arm64 only";
#else
#ifdef __ARM_FEATURE_BTI_DEFAULT
    constexpr bool landingPads = true;
#else
    constexpr bool landingPads = false;
#endif
#if defined(__ARM_FEATURE_PAC_DEFAULT) && (__ARM_FEATURE_PAC_DEFAULT & 1)
    constexpr bool signedReturns = true;
#else
    constexpr bool signedReturns = false;
#endif
    EXPECT_EQ(landingPads, HW_EXPECT_HARDENING != 0);
    EXPECT_EQ(signedReturns, HW_EXPECT_HARDENING != 0);
#endif
}
