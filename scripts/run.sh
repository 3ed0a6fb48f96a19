#!/usr/bin/env bash
# Sets up this machine, builds Hashwarden and opens it (arguments are passed on, e.g. a file to check).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
exec build/hashwarden "$@"
