#!/usr/bin/env bash
# The SHA-3 family pass on 32-bit ARM in modelled cycles: each pair of lengths and all four in one pass
# (hashwarden-bench --memory --family, the lanes kernel) against the sum of their single passes
# (hashwarden-bench --memory, the single-state kernel), cycles per byte on LLVM's Cortex-A57 model
# (scripts/arm-cycle-model.py, a 16 KiB buffer hashed once and twice) under both qemu processor models.
# Prints one Markdown table. Usage: scripts/bench-arm32-family.sh
# Env: HW_ARM32_BENCH_BUILD=build folder (default build-arm32-bench), CPUS="cortex-a7 max", JOBS=2.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${HW_ARM32_BENCH_BUILD:-build-arm32-bench}
jobs=${JOBS:-2}
read -r -a cpus <<<"${CPUS:-cortex-a7 max}"

for tool in arm-linux-gnueabihf-g++ qemu-arm-static python3 llvm-mca; do
  command -v "$tool" >/dev/null || { echo "bench-arm32-family: $tool is missing (scripts/setup.sh --tests installs it)" >&2; exit 1; }
done
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHW_WITH_GUI=OFF -DHW_BUILD_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/arm32-toolchain.cmake" >/dev/null
cmake --build "$build" -j2 --target hashwarden-bench >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c 16384 /dev/urandom >"$work/small"

singles=(sha3-224 sha3-256 sha3-384 sha3-512)
sets=("sha3-224 sha3-256" "sha3-384 sha3-512" "sha3-256 sha3-512" "sha3-224 sha3-256 sha3-384 sha3-512")
# One model: CPU KIND ALGO... -> "cycles per byte" in a file of its own.
model_one() {
  local cpu=$1 kind=$2
  shift 2
  local options=(--memory --runs {}) name="$*"
  [ "$kind" = family ] && options+=(--family)
  scripts/arm-cycle-model.py --cpu "$cpu" --bytes 16384 -- "$build/hashwarden-bench" "${options[@]}" "$work/small" "$@" |
    awk '{ print $4 }' >"$work/$cpu.$kind.${name// /+}"
}
export -f model_one
export build work
{
  for cpu in "${cpus[@]}"; do
    for algo in "${singles[@]}"; do echo "$cpu single $algo"; done
    for set in "${sets[@]}"; do echo "$cpu family $set"; done
  done
} | xargs -P "$jobs" -L 1 bash -c 'model_one "$@"' _

echo "SHA-3 family pass (neon lanes kernel) against the single passes (neon), cycles per byte on LLVM's"
echo "Cortex-A57 model from the instructions run under qemu-arm-static -cpu MODEL; 16 KiB in memory."
echo
head="| lengths |"
rule="|---|"
for cpu in "${cpus[@]}"; do
  head+=" $cpu: family pass | single passes | ratio |"
  rule+="---:|---:|---:|"
done
echo "$head"
echo "$rule"
for set in "${sets[@]}"; do
  row="| ${set// / + } |"
  for cpu in "${cpus[@]}"; do
    family=$(cat "$work/$cpu.family.${set// /+}")
    sum=0
    parts=()
    for algo in $set; do
      single=$(cat "$work/$cpu.single.$algo")
      parts+=("$single")
      sum=$(awk -v a="$sum" -v b="$single" 'BEGIN { print a + b }')
    done
    row+=" $family | $(IFS=+; echo "${parts[*]}") = $sum | $(awk -v a="$family" -v b="$sum" 'BEGIN { printf "%.3f", a / b }') |"
  done
  echo "$row"
done
