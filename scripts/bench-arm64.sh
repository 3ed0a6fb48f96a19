#!/usr/bin/env bash
# Counts the instructions per byte of every algorithm on two emulated 64-bit ARM cores and models their
# cycles per byte on an out-of-order and an in-order core, ours against OpenSSL's libcrypto (zlib's
# crc32() for CRC-32), in one Markdown table.
# Usage: scripts/bench-arm64.sh [ALGO...]      (default: all eleven)
# Env: HW_ARM64_BENCH_BUILD=build folder (default build-arm64-bench), JOBS=emulators at a time (default 2),
#      CPUS="cortex-a53 max,sve=off" (the qemu CPU models: ARMv8.0 with the cryptography extension, and
#      every extension; SVE off, which neither modelled core has and the C library would otherwise use),
#      MCPUS="cortex-a57 cortex-a55" (LLVM's models: the out-of-order A57, which LLVM uses for the A72,
#      and the in-order A55).
# Instructions: each side hashes one 1 MiB buffer of random bytes in memory, once and three times,
# under qemu-aarch64-static (scripts/arm-insn-count.py); the difference between the two counts divided
# by 2 MiB is the work per byte, start-up cancelled out.
# Cycles: each side hashes a 16 KiB buffer once and twice, and scripts/arm-cycle-model.py times the
# instructions of the blocks whose work grew, in the order they ran, on each LLVM model (llvm-mca): a
# model and not a board. Every pass's fixed cost (start, padding, digest text) counts.
# Ours is hashwarden-bench --memory of a Release cross build, the reference bench/reference_bench.cpp
# linked with Debian's arm64 libcrypto and zlib (their own run-time choice of ARMv8 code). Both figures
# repeat to well within the printed precision and do not depend on the machine that emulates. A run of
# all eleven takes about 20 minutes on two free cores.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${HW_ARM64_BENCH_BUILD:-build-arm64-bench}
jobs=${JOBS:-2}
read -r -a cpus <<<"${CPUS:-cortex-a53 max,sve=off}"
read -r -a mcpus <<<"${MCPUS:-cortex-a57 cortex-a55}"
algos=("$@")
[ ${#algos[@]} -gt 0 ] || algos=(crc32 md5 sha1 sha2-224 sha2-256 sha2-384 sha2-512 sha3-224 sha3-256 sha3-384 sha3-512)

for tool in aarch64-linux-gnu-g++ qemu-aarch64-static python3 llvm-mca; do
  command -v "$tool" >/dev/null || { echo "bench-arm64: $tool is missing (scripts/setup.sh --tests installs it)" >&2; exit 1; }
done

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHW_WITH_GUI=OFF -DHW_BUILD_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/arm64-toolchain.cmake" >/dev/null
cmake --build "$build" -j2 --target hashwarden-bench hashwarden-reference-bench >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c 1048576 /dev/urandom >"$work/buffer"
head -c 16384 "$work/buffer" >"$work/small"

# The command line of one side: ours or the reference, with RUNS passes over FILE and ALGO.
side_command() {
  local side=$1 runs=$2 file=$3 algo=$4
  if [ "$side" = ours ]; then
    echo "$build/hashwarden-bench --memory --runs $runs $file $algo"
  else
    echo "$build/hashwarden-reference-bench $runs $file $algo"
  fi
}
# One count: CPU SIDE RUNS ALGO -> a line "CPU SIDE RUNS ALGO COUNT DIGEST PATH" in its own file.
count_one() {
  local cpu=$1 side=$2 runs=$3 algo=$4 out
  # shellcheck disable=SC2046 # the command's words
  out=$(scripts/arm-insn-count.py --qemu qemu-aarch64-static --cpu "$cpu" -- $(side_command "$side" "$runs" "$work/buffer" "$algo"))
  # First line: the count; second: ALGO DIGEST [MBPS PATH] from the program.
  { read -r count; read -r _ digest _ path; } <<<"$out"
  echo "$cpu $side $runs $algo $count $digest ${path:-reference}" >"$work/$cpu.$side.$runs.$algo"
}
# One model: CPU SIDE model ALGO MCPU -> a line "CPU SIDE model ALGO MCPU CYCLES_PER_BYTE" in its own file.
model_one() {
  local cpu=$1 side=$2 algo=$4 mcpu=$5 out
  # shellcheck disable=SC2046
  out=$(scripts/arm-cycle-model.py --qemu qemu-aarch64-static --cpu "$cpu" --mcpu "$mcpu" --bytes 16384 -- \
    $(side_command "$side" {} "$work/small" "$algo") 2> >(grep -v "^warning:\|^note:" >&2))
  # "instructions/byte I cycles/byte C"
  echo "$cpu $side model $algo $mcpu ${out##* }" >"$work/$cpu.$side.model.$algo.$mcpu"
}
# One job of either kind.
measure_one() { if [ "$3" = model ]; then model_one "$@"; else count_one "$@"; fi; }
export -f side_command count_one model_one measure_one
export build work

# The models take longest: they go first, so that the two emulators finish together.
{
  for cpu in "${cpus[@]}"; do
    for algo in "${algos[@]}"; do
      for mcpu in "${mcpus[@]}"; do
        for side in ours reference; do echo "$cpu $side model $algo $mcpu"; done
      done
    done
  done
  for kind in 1 3; do
    for cpu in "${cpus[@]}"; do
      for algo in "${algos[@]}"; do
        for side in ours reference; do echo "$cpu $side $kind $algo"; done
      done
    done
  done
} | xargs -P "$jobs" -L 1 bash -c 'measure_one "$@"' _

cat "$work"/*.*.*.* | python3 -c '
import sys
cpus, algos, mcpus = sys.argv[1].split(), sys.argv[2].split(), sys.argv[3].split()
rows, model = {}, {}
for line in sys.stdin:
    fields = line.split()
    if fields[2] == "model":
        model[fields[0], fields[1], fields[3], fields[4]] = float(fields[5])
        continue
    cpu, side, runs, algo, count, digest, path = fields
    rows[cpu, side, int(runs), algo] = (int(count), digest, path)
fields = {}
for line in open("/proc/cpuinfo"):
    key, _, value = line.partition(":")
    fields.setdefault(key.strip(), value.strip())
host = "%s (family %s, model %s)" % (fields.get("model name", "?"), fields.get("cpu family", "?"), fields.get("model", "?"))
ratio = lambda a, b: a / b if b > 0 else float("nan")
print("64-bit ARM, ours (hashwarden-bench --memory) against OpenSSL EVP_Digest (zlib crc32() for CRC-32).")
print("Emulated on %s, which changes no figure." % host)
failed = False
for cpu in cpus:
    print()
    print("qemu -cpu %s: instructions per byte under qemu-aarch64-static; cycles per byte modelled by llvm-mca" % cpu)
    print()
    head = "| algorithm | path | instructions ours | reference | ratio |"
    rule = "|---|---|---:|---:|---:|"
    for mcpu in mcpus:
        head += " %s ours | reference | ratio |" % mcpu
        rule += "---:|---:|---:|"
    print(head)
    print(rule)
    for algo in algos:
        ours = [rows[cpu, "ours", r, algo] for r in (1, 3)]
        ref = [rows[cpu, "reference", r, algo] for r in (1, 3)]
        if ours[0][1] != ref[0][1]:
            sys.stderr.write("bench-arm64: %s on %s: digest %s, reference %s\n" % (algo, cpu, ours[0][1], ref[0][1]))
            failed = True
        per_byte = lambda pair: (pair[1][0] - pair[0][0]) / (2 * 1048576)
        o, r = per_byte(ours), per_byte(ref)
        row = "| %s | %s | %.2f | %.2f | %.3f |" % (algo, ours[0][2], o, r, ratio(o, r))
        for mcpu in mcpus:
            co, cr = model[cpu, "ours", algo, mcpu], model[cpu, "reference", algo, mcpu]
            row += " %.2f | %.2f | %.3f |" % (co, cr, ratio(co, cr))
        print(row)
sys.exit(1 if failed else 0)
' "${cpus[*]}" "${algos[*]}" "${mcpus[*]}"
