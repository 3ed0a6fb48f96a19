#!/usr/bin/env bash
# Cross-compiles the whole program for 32-bit ARM boards (armhf) with the tests of the libraries that
# need no GTK (engine, key-value files, settings, languages), runs those tests under qemu-user (32-bit
# size_t, 64-bit offsets); one of the tests makes hashwarden_<version>_armhf.deb and starts its
# program under the emulator on a private X display. The engine runs on two processor models, so
# that every path either of them chooses meets the standards' vectors and the OpenSSL oracle.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${HW_ARM32_BUILD:-build-arm32}

for tool in arm-linux-gnueabihf-g++ qemu-arm-static dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "test-arm32: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHW_WITH_GUI=ON \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/arm32-toolchain.cmake"
cmake --build "$build" -j2
# Every test runs, under generous time-outs, except one that cannot work under a user-mode emulator:
# it reads the test's own memory through /proc/self/mem, which there shows the emulator's memory,
# not the program's. It runs in the native builds. The processor is an ARMv7 core with NEON, as on
# most boards: its NEON paths run, and nothing else in the program may need a newer instruction.
QEMU_CPU=cortex-a7 scripts/with-xvfb.sh ctest --test-dir "$build" --output-on-failure -j2 --timeout 600 \
  -E '^Driver\.AReadErrorAfterGoodReadsGivesTheEmptyText$'
# The engine again on a core with every ARMv8 instruction that 32-bit state offers (CRC32, PMULL,
# SHA-1, SHA-256): the paths only it reaches, each through the known answers, every length, random
# pieces and the file driver (Paths/Accelerated*). Left out is what runs the same code on both
# models (the portable kernels, the file driver, the offsets past 4 GiB, whose 4 GiB of CRC-32 the
# emulator's PMULL would make slow) and the whole-set property runs, which repeat those checks for
# all eleven algorithms, seven of them on the code the first model ran.
QEMU_CPU=max ctest --test-dir "$build" --output-on-failure -j2 --timeout 600 --no-tests=error -L engine \
  -E '^Driver\.|^LargeSparseFile\.|[Pp]ortable|KernelProperties\.(EveryLength|RandomPieces)'
