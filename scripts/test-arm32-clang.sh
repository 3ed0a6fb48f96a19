#!/usr/bin/env bash
# The engine cross-compiled for 32-bit ARM boards (armhf) with clang instead of GCC
# (cmake/arm32-clang-toolchain.cmake: clang's integrated assembler for the .S kernels), and its tests
# under qemu-user on both processor models. The build prints which ARM kernels it kept; one that clang
# cannot build is left out, and then the accelerated-path tests of the model that runs it fail.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${HW_ARM32_CLANG_BUILD:-build-arm32-clang}

for tool in clang clang++ arm-linux-gnueabihf-ld qemu-arm-static; do
  command -v "$tool" >/dev/null || { echo "test-arm32-clang: $tool is missing (scripts/setup.sh --tests installs it)" >&2; exit 1; }
done

# Its output names the ARM kernels kept ("32-bit ARM kernels built: ...") and warns of any left out.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHW_WITH_GUI=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/arm32-clang-toolchain.cmake"
cmake --build "$build" -j2 --target fingerprint_accelerated_tests fingerprint_tests
# The engine's own suites, which the GCC build runs whole in scripts/test-arm32.sh: here the paths
# (every kernel each model runs, through the vectors, every length, pieces and the file driver) and
# the standards' vectors on every algorithm. Left out are the suites that run no compiled kernel
# other than these: the sparse file past 4 GiB, the driver and the whole-set property runs.
QEMU_CPU=cortex-a7 ctest --test-dir "$build" --output-on-failure -j2 --timeout 600 --no-tests=error -L engine \
  -R '^Paths/Accelerated|^Standards/KnownAnswers\.|^CompiledKernels\.'
QEMU_CPU=max ctest --test-dir "$build" --output-on-failure -j2 --timeout 600 --no-tests=error -L engine \
  -R '^Paths/Accelerated|^Standards/KnownAnswers\.|^CompiledKernels\.' -E '[Pp]ortable'
