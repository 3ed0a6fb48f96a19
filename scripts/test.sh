#!/usr/bin/env bash
# Sets up this machine, builds everything and runs every test; ends with CTest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests
# Each stage says when it starts, in seconds since the command began, so a stage that slows shows.
stage() { echo "=== test command, $SECONDS s: $1"; }

# Every test once under AddressSanitizer and UndefinedBehaviorSanitizer, the window included (GUI
# tests on a private Xvfb display), but the package's checks and the tests labelled shipped (files of
# several GiB read whole, timing figures): they belong to the program as it ships, in the last stage.
# Leaks inside the toolkit's own libraries are suppressed by library in tests/lsan.supp; nothing of
# the program's own code is.
stage "AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHW_SANITIZE=ON -DHW_WITH_GUI=ON
cmake --build build-asan
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
  scripts/with-xvfb.sh ctest --test-dir build-asan --output-on-failure -j2 -LE shipped

# The threads of the code without the toolkit under ThreadSanitizer: the engine with its reader
# thread, the job's scheduler and the settings, with their suites (but the block functions' in-memory
# properties, which start no thread); a data race fails the test that met it. The toolkit's
# libraries are not built for ThreadSanitizer, so the window stays with the first stage.
stage "ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHW_TSAN=ON -DHW_WITH_GUI=OFF
cmake --build build-tsan
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" ctest --test-dir build-tsan --output-on-failure -j2

# The readers of user-supplied files under libFuzzer, each for a bounded time (scripts/fuzz.sh).
stage "libFuzzer"
scripts/fuzz.sh 20

# The engine, key-value files, settings and languages cross-compiled for 32-bit ARM boards
# (32-bit size_t, 64-bit file offsets) and run under qemu-user.
stage "32-bit ARM"
scripts/test-arm32.sh

# The engine for 32-bit ARM once more, built with clang and its integrated assembler, with the tests
# of every kernel on both processor models: no ARM kernel may need GCC.
stage "32-bit ARM with clang"
scripts/test-arm32-clang.sh

# The whole program for 64-bit ARM boards, under qemu-user: every test once on an ARMv8.0 core with the
# crypto extension, its arm64 package's program showing its window among them, the engine's paths on a
# core with every extension, and the engine's kernels built with clang as well.
stage "64-bit ARM"
scripts/test-arm64.sh

# The program as it ships: what only this build can show (the package and its checks, the build's
# flags and each kernel's instructions, the large files and the timing figures), and the engine
# again, as the optimiser builds it without instrumentation. Every other test ran in the first stage,
# on the same sources. GUI tests run on a private Xvfb display.
stage "the program as it ships"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DHW_BUILD_TESTS=ON
cmake --build build
scripts/with-xvfb.sh ctest --test-dir build --output-on-failure -j2 -L 'shipped|package|build|engine'
