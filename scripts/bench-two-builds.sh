#!/usr/bin/env bash
# Compares the kernels of two builds (before and after a change of compiler flags, say): every
# algorithm in memory, by CPU time, the two builds taking turns; prints a Markdown table.
# Usage: scripts/bench-two-builds.sh BUILD_BEFORE BUILD_AFTER [FILE]
# Env: ROUNDS=rounds (default 5), SIZE_MIB=size of the random file (default 1024), PORTABLE=1 (the
# portable code only).
# Each figure is the best of ROUNDS: other work on the machine only ever slows a run down, so the
# fastest run is the one least disturbed. The two builds take turns on each algorithm, so that both
# meet the same load, and which goes first alternates from round to round.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 2 ] || { echo "usage: $0 BUILD_BEFORE BUILD_AFTER [FILE]" >&2; exit 2; }
before="$1/hashwarden-bench"
after="$2/hashwarden-bench"
rounds="${ROUNDS:-5}"
size_mib="${SIZE_MIB:-1024}"
file="${3:-/tmp/hashwarden-bench-${size_mib}m.bin}"
for bench in "$before" "$after"; do
  [ -x "$bench" ] || { echo "build $bench first (cmake --build BUILD --target hashwarden-bench)" >&2; exit 1; }
done
if [ ! -f "$file" ] || [ "$(stat -c %s "$file")" -ne $((size_mib * 1024 * 1024)) ]; then
  head -c $((size_mib * 1024 * 1024)) /dev/urandom >"$file"
fi
options=(--memory --cpu-time --runs 1)
[ "${PORTABLE:-0}" = 1 ] && options+=(--portable)

algos=(crc32 md5 sha1 sha2-224 sha2-256 sha2-384 sha2-512 sha3-224 sha3-256 sha3-384 sha3-512)
declare -A best digest path
max() { awk -v a="${1:-0}" -v b="$2" 'BEGIN {print (b > a) ? b : a}'; }
measure() { # SIDE BENCH ALGO
  local algo sum rate kernel
  while read -r algo sum rate kernel; do
    best[$1,$algo]=$(max "${best[$1,$algo]:-0}" "$rate")
    if [ -n "${digest[$algo]:-}" ] && [ "${digest[$algo]}" != "$sum" ]; then
      echo "$algo: the two builds give different digests" >&2
      exit 1
    fi
    digest[$algo]=$sum
    path[$1,$algo]=$kernel
  done < <("$2" "${options[@]}" "$file" "$3")
}
for ((round = 0; round < rounds; round++)); do
  for algo in "${algos[@]}"; do
    if ((round % 2 == 0)); then
      measure before "$before" "$algo"; measure after "$after" "$algo"
    else
      measure after "$after" "$algo"; measure before "$before" "$algo"
    fi
  done
done

family=$(awk -F': ' '/^cpu family/ {print $2; exit}' /proc/cpuinfo)
model=$(awk -F': ' '/^model\t/ {print $2; exit}' /proc/cpuinfo)
name=$(awk -F': ' '/^model name/ {print $2; exit}' /proc/cpuinfo)
echo "Processor: $name (family $family, model $model); $(nproc) cores; ${size_mib} MiB in memory;"
echo "10^6 bytes per CPU second, best of $rounds rounds, the builds taking turns on each algorithm."
echo
echo "| algorithm | path before | before | path after | after | after / before |"
echo "|---|---|---:|---|---:|---:|"
for algo in "${algos[@]}"; do
  b=${best[before,$algo]:-0} a=${best[after,$algo]:-0}
  ratio=$(awk -v a="$a" -v b="$b" 'BEGIN {if (b > 0) printf "%.3f", a / b; else print "-"}')
  echo "| $algo | ${path[before,$algo]:--} | $b | ${path[after,$algo]:--} | $a | $ratio |"
done
