#!/usr/bin/env bash
# Counts the instructions per byte of every algorithm on two emulated 32-bit ARM cores and models their
# cycles per byte, ours against OpenSSL's libcrypto (zlib's crc32() for CRC-32), in one Markdown table.
# Usage: scripts/bench-arm32.sh [ALGO...]      (default: all eleven)
# Env: HW_ARM32_BENCH_BUILD=build folder (default build-arm32-bench), JOBS=emulators at a time (default 2),
#      CPUS="cortex-a7 max" (the qemu CPU models).
# Instructions: each side hashes one 1 MiB buffer of random bytes in memory, once and three times,
# under qemu-arm-static (scripts/arm-insn-count.py); the difference between the two counts divided by
# 2 MiB is the work per byte, start-up and the reading of the file cancel out.
# Cycles: each side hashes a 16 KiB buffer once and twice, and scripts/arm-cycle-model.py times the
# instructions of the blocks whose work grew, in the order they ran, on LLVM's Cortex-A57 model
# (llvm-mca; the A72 of the Raspberry Pi 4 shares it): an out-of-order core, a model and not a board.
# Ours is hashwarden-bench --memory of a Release cross build, the reference bench/reference_bench.cpp
# linked with Debian's armhf libcrypto and zlib (their own run-time choice of NEON and ARMv8 code).
# Both figures repeat to well within the printed precision and do not depend on the machine that
# emulates. It takes about 16 minutes of CPU time, so about 8 on two free cores (40 when a load
# average of 10 shared them).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${HW_ARM32_BENCH_BUILD:-build-arm32-bench}
jobs=${JOBS:-2}
read -r -a cpus <<<"${CPUS:-cortex-a7 max}"
algos=("$@")
[ ${#algos[@]} -gt 0 ] || algos=(crc32 md5 sha1 sha2-224 sha2-256 sha2-384 sha2-512 sha3-224 sha3-256 sha3-384 sha3-512)

for tool in arm-linux-gnueabihf-g++ qemu-arm-static python3 llvm-mca; do
  command -v "$tool" >/dev/null || { echo "bench-arm32: $tool is missing (scripts/setup.sh --tests installs it)" >&2; exit 1; }
done

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHW_WITH_GUI=OFF -DHW_BUILD_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/arm32-toolchain.cmake" >/dev/null
cmake --build "$build" -j2 --target hashwarden-bench hashwarden-reference-bench >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c 1048576 /dev/urandom >"$work/buffer"
head -c 16384 "$work/buffer" >"$work/small"

# One count: CPU SIDE RUNS ALGO -> a line "CPU SIDE RUNS ALGO COUNT DIGEST PATH" in its own file.
count_one() {
  local cpu=$1 side=$2 runs=$3 algo=$4 out
  if [ "$side" = ours ]; then
    out=$(scripts/arm-insn-count.py --cpu "$cpu" -- "$build/hashwarden-bench" --memory --runs "$runs" \
      "$work/buffer" "$algo")
  else
    out=$(scripts/arm-insn-count.py --cpu "$cpu" -- "$build/hashwarden-reference-bench" "$runs" \
      "$work/buffer" "$algo")
  fi
  # First line: the count; second: ALGO DIGEST [MBPS PATH] from the program.
  { read -r count; read -r _ digest _ path; } <<<"$out"
  echo "$cpu $side $runs $algo $count $digest ${path:-reference}" >"$work/$cpu.$side.$runs.$algo"
}
# One model: CPU SIDE model ALGO -> a line "CPU SIDE model ALGO CYCLES_PER_BYTE" in its own file.
model_one() {
  local cpu=$1 side=$2 algo=$4 out
  if [ "$side" = ours ]; then
    out=$(scripts/arm-cycle-model.py --cpu "$cpu" --bytes 16384 -- "$build/hashwarden-bench" --memory --runs {} \
      "$work/small" "$algo")
  else
    out=$(scripts/arm-cycle-model.py --cpu "$cpu" --bytes 16384 -- "$build/hashwarden-reference-bench" {} \
      "$work/small" "$algo")
  fi
  # "instructions/byte I cycles/byte C"
  echo "$cpu $side model $algo ${out##* }" >"$work/$cpu.$side.model.$algo"
}
# One job of either kind.
measure_one() { if [ "$3" = model ]; then model_one "$@"; else count_one "$@"; fi; }
export -f count_one model_one measure_one
export build work

# The models take longest: they go first, so that the two emulators finish together.
for kind in model 1 3; do
  for cpu in "${cpus[@]}"; do
    for algo in "${algos[@]}"; do
      for side in ours reference; do echo "$cpu $side $kind $algo"; done
    done
  done
done | xargs -P "$jobs" -L 1 bash -c 'measure_one "$@"' _

cat "$work"/*.*.*.* | python3 -c '
import sys
cpus, algos = sys.argv[1].split(), sys.argv[2].split()
rows, model = {}, {}
for line in sys.stdin:
    fields = line.split()
    if fields[2] == "model":
        model[fields[0], fields[1], fields[3]] = float(fields[4])
        continue
    cpu, side, runs, algo, count, digest, path = fields
    rows[cpu, side, int(runs), algo] = (int(count), digest, path)
fields = {}
for line in open("/proc/cpuinfo"):
    key, _, value = line.partition(":")
    fields.setdefault(key.strip(), value.strip())
host = "%s (family %s, model %s)" % (fields.get("model name", "?"), fields.get("cpu family", "?"), fields.get("model", "?"))
print("32-bit ARM, ours (hashwarden-bench --memory) against OpenSSL EVP_Digest (zlib crc32() for CRC-32):")
print("instructions per byte under qemu-arm-static, and cycles per byte modelled by llvm-mca on LLVM%ss" % chr(39))
print("Cortex-A57 (the Cortex-A72 model) from the same instructions. qemu -cpu cortex-a7 takes the NEON")
print("paths, -cpu max the ARMv8 ones. Emulated on %s, which changes neither figure." % host)
print()
head = "| algorithm |"
rule = "|---|"
for cpu in cpus:
    head += " %s path | instructions ours | reference | ratio | cycles ours | reference | ratio |" % cpu
    rule += "---|---:|---:|---:|---:|---:|---:|"
print(head)
print(rule)
failed = False
for algo in algos:
    row = "| %s |" % algo
    for cpu in cpus:
        ours = [rows[cpu, "ours", r, algo] for r in (1, 3)]
        ref = [rows[cpu, "reference", r, algo] for r in (1, 3)]
        if ours[0][1] != ref[0][1]:
            sys.stderr.write("bench-arm32: %s on %s: digest %s, reference %s\n" % (algo, cpu, ours[0][1], ref[0][1]))
            failed = True
        per_byte = lambda pair: (pair[1][0] - pair[0][0]) / (2 * 1048576)
        o, r = per_byte(ours), per_byte(ref)
        co, cr = model[cpu, "ours", algo], model[cpu, "reference", algo]
        row += " %s | %.2f | %.2f | %.3f | %.2f | %.2f | %.3f |" % (ours[0][2], o, r, o / r if r > 0 else float("nan"),
                                                                   co, cr, co / cr if cr > 0 else float("nan"))
    print(row)
sys.exit(1 if failed else 0)
' "${cpus[*]}" "${algos[*]}"
