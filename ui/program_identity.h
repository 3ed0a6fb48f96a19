// How the program names itself: its title, its version line and the processor it was built for.
#pragma once

// The processor the program was built for, as the title and the About window name it: a title that
// named another processor than the one the program runs on would mislead whoever reports a fault.
#if defined(__arm__)
#define HW_BUILD_ARCHITECTURE "arm32"
#elif defined(__aarch64__)
#define HW_BUILD_ARCHITECTURE "arm64"
#elif defined(__x86_64__)
#define HW_BUILD_ARCHITECTURE "x86-64"
#elif defined(__i386__)
#define HW_BUILD_ARCHITECTURE "x86"
#elif defined(__riscv) && __riscv_xlen == 64
#define HW_BUILD_ARCHITECTURE "riscv64"
#elif defined(__powerpc64__) && defined(__LITTLE_ENDIAN__)
#define HW_BUILD_ARCHITECTURE "ppc64le"
#elif defined(__s390x__)
#define HW_BUILD_ARCHITECTURE "s390x"
#else
#define HW_BUILD_ARCHITECTURE "other"
#endif
constexpr const char* BuildArchitecture = HW_BUILD_ARCHITECTURE;
constexpr const char* MainWindowTitle = "Hashwarden v1.0.0.0 (" HW_BUILD_ARCHITECTURE ") - Brightmoor";
constexpr const char* VersionLine = "v1.0.0.0 (" HW_BUILD_ARCHITECTURE ")";
