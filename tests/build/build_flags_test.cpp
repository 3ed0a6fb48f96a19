// The flags every source of the build was compiled with, as the compiler reports them: the builds that
// ship carry the stack protector and glibc's checks, the sanitizer builds neither of them.
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
