#!/usr/bin/env bash
# Cross-compiles the whole program for 64-bit ARM boards (arm64) with GCC and runs its tests under
# qemu-user: every test that needs no window of its own once, on an ARMv8.0 core with the crypto
# extension, one of them making hashwarden_<version>_arm64.deb and starting its program on a private X
# display; then the engine's accelerated paths on a core with every extension. Last the engine alone
# is built with clang and its kernels tested, so that no arm64 kernel needs one compiler.
# Usage: scripts/test-arm64.sh [--gcc-only|--clang-only]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${HW_ARM64_BUILD:-build-arm64}
clang_build=${HW_ARM64_CLANG_BUILD:-build-arm64-clang}
gcc=1 clang=1
case "${1:-}" in
  "") ;;
  --gcc-only) clang=0 ;;
  --clang-only) gcc=0 ;;
  *) echo "usage: scripts/test-arm64.sh [--gcc-only|--clang-only]" >&2; exit 2 ;;
esac

tools=(qemu-aarch64-static)
[ "$gcc" -eq 0 ] || tools+=(aarch64-linux-gnu-g++ dpkg-shlibdeps readelf lintian)
[ "$clang" -eq 0 ] || tools+=(clang++ aarch64-linux-gnu-ld)
for tool in "${tools[@]}"; do
  command -v "$tool" >/dev/null || { echo "test-arm64: $tool is missing (scripts/setup.sh --tests installs it)" >&2; exit 1; }
done

# The processor models. The first is the oldest arm64 core of today's boards (Cortex-A53: ARMv8.0 with
# CRC32, PMULL, SHA-1 and SHA-256): the program may need nothing newer. The second has every extension
# the emulator knows (SHA-512, SHA-3, pointer authentication, BTI, ...), so that each kernel runs,
# chosen or forced by the tests' feature masks. Its return-address signing uses the emulator's own
# fast algorithm: the architecture leaves the algorithm to the implementation, and the standard one,
# emulated in every signed call, doubles the run time.
baseline=cortex-a53
everything=max,pauth-impdef=on

if [ "$gcc" -eq 1 ]; then
  # Release, as the package users get is built; the tests' own code is built quickly (tests/).
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHW_WITH_GUI=ON \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/arm64-toolchain.cmake"
  cmake --build "$build" -j2
  # The engine's tests, the package's smoke test and checks and the build's flags: what the arm64
  # build can get wrong on its own. The settings, languages and the job's tests ran on the same sources
  # natively and on 32-bit ARM already. Left out: the test that reads its own memory through
  # /proc/self/mem, which under a user-mode emulator shows the emulator's memory.
  QEMU_CPU=$baseline scripts/with-xvfb.sh ctest --test-dir "$build" --output-on-failure -j2 --timeout 600 \
    -L 'engine|package|build' -E '^Driver\.AReadErrorAfterGoodReadsGivesTheEmptyText$'
  # The engine's accelerated paths again, on the second model: each path through the known answers,
  # every length, random pieces and the file driver (Paths/Accelerated*). Left out is what runs the
  # same code on both models (the portable kernels, the file driver, the sparse file) and the
  # whole-set property runs, which repeat those checks for all eleven algorithms.
  QEMU_CPU=$everything ctest --test-dir "$build" --output-on-failure -j2 --timeout 600 --no-tests=error -L engine \
    -E '^Driver\.|^LargeSparseFile\.|[Pp]ortable|KernelProperties\.(EveryLength|RandomPieces)'
fi

if [ "$clang" -eq 1 ]; then
  # The engine with clang and its integrated assembler (cmake/arm64-clang-toolchain.cmake); the build
  # prints which kernels it kept. Its paths and the standards' vectors run on the second model, where
  # the feature masks reach every kernel; the GCC build above runs the baseline model.
  cmake -S . -B "$clang_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHW_WITH_GUI=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/arm64-clang-toolchain.cmake"
  cmake --build "$clang_build" -j2 --target fingerprint_accelerated_tests fingerprint_tests
  QEMU_CPU=$everything ctest --test-dir "$clang_build" --output-on-failure -j2 --timeout 600 --no-tests=error -L engine \
    -R '^Paths/Accelerated|^Standards/KnownAnswers\.|^CompiledKernels\.' -E '[Pp]ortable'
fi
