#!/usr/bin/env bash
# Sets up this machine, builds everything and runs every test; ends with CTest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

# The code that needs no display, under AddressSanitizer and UndefinedBehaviorSanitizer.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHW_SANITIZE=ON -DHW_WITH_GUI=OFF
cmake --build build-asan
ctest --test-dir build-asan --output-on-failure -j2

# The engine, key-value files, settings and languages cross-compiled for 32-bit ARM boards
# (32-bit size_t, 64-bit file offsets) and run under qemu-user.
scripts/test-arm32.sh

# The program as it ships, with every test; GUI tests run on a private Xvfb display.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
scripts/with-xvfb.sh ctest --test-dir build --output-on-failure -j2
