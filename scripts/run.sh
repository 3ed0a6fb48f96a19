#!/usr/bin/env bash
# Sets up this machine, builds Hashwarden and opens it (arguments are passed on, e.g. a file to check).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Only the program and its language pack: the tests need packages that only the test command installs.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DHW_BUILD_TESTS=OFF
cmake --build build --target hashwarden
exec build/hashwarden "$@"
