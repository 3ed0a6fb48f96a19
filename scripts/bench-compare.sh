#!/usr/bin/env bash
# Measures hashwarden-bench beside the standard command-line tools and OpenSSL on one page-cached 1 GiB file.
# Usage: scripts/bench-compare.sh [FILE]
# Env: BUILD=build folder (default build), RUNS=runs per figure (default 3), PORTABLE=1 for the portable code only.
# HW-FILE and TOOL-MBPS are the best of RUNS alternating runs; HW-MEMORY is hashwarden-bench's median.
set -euo pipefail
cd "$(dirname "$0")/.."
bench="${BUILD:-build}/hashwarden-bench"
runs="${RUNS:-3}"
flags=()
[ "${PORTABLE:-0}" = 1 ] && flags+=(--portable)
file="${1:-/tmp/hashwarden-bench-1g.bin}"
size=$((1024 * 1024 * 1024))
[ -x "$bench" ] || { echo "build $bench first (cmake --build ${BUILD:-build} --target hashwarden-bench)" >&2; exit 1; }
for tool in rhash openssl md5sum sha1sum sha256sum sha512sum; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/setup.sh installs it)" >&2; exit 1; }
done
if [ ! -f "$file" ] || [ "$(stat -c %s "$file")" -ne "$size" ]; then
  head -c "$size" /dev/urandom >"$file"
fi
cat "$file" >/dev/null  # into the page cache, so that every contender reads from memory

# Wall-clock rate of one run of a command, in 10^6 bytes per second; the first word of its
# output (the digest) goes to the file named by $digest_out.
tool_rate() {
  local t0 t1
  t0=$(date +%s%N)
  "$@" | awk '{print tolower($1); exit}' >"$digest_out"
  t1=$(date +%s%N)
  awk -v t="$((t1 - t0))" -v s="$size" 'BEGIN {printf "%.1f", s / (t / 1e9) / 1e6}'
}

best() { printf '%s\n' "$@" | sort -g | tail -1; }

openssl_rate() {  # openssl speed prints thousands of bytes per second, with a trailing k
  openssl speed -evp "$1" -bytes 1048576 -seconds 2 2>/dev/null | tail -1 | awk '{v=$NF; sub(/k$/, "", v); printf "%.1f", v / 1000}'
}

declare -A tool=(
  [crc32]="rhash --simple --crc32" [md5]="md5sum" [sha1]="sha1sum"
  [sha2-224]="sha224sum" [sha2-256]="sha256sum" [sha2-384]="sha384sum" [sha2-512]="sha512sum"
  [sha3-224]="rhash --simple --sha3-224" [sha3-256]="rhash --simple --sha3-256"
  [sha3-384]="rhash --simple --sha3-384" [sha3-512]="rhash --simple --sha3-512"
)
declare -A evp=(
  [md5]=md5 [sha1]=sha1 [sha2-224]=sha224 [sha2-256]=sha256 [sha2-384]=sha384 [sha2-512]=sha512
  [sha3-224]=sha3-224 [sha3-256]=sha3-256 [sha3-384]=sha3-384 [sha3-512]=sha3-512
)
digest_out=$(mktemp)
trap 'rm -f "$digest_out"' EXIT

printf '%-9s %10s %-10s %10s %-26s %10s %10s %s\n' ALGO HW-FILE PATH HW-MEMORY TOOL TOOL-MBPS OPENSSL OK
for algo in crc32 md5 sha1 sha2-224 sha2-256 sha2-384 sha2-512 sha3-224 sha3-256 sha3-384 sha3-512; do
  # Ours and the tool take turns, so that both meet the same load from whatever else runs; the
  # best of the runs is the figure least disturbed by it.
  ours=() theirs=()
  for ((i = 0; i < runs; i++)); do
    read -r _ ours_digest rate path < <("$bench" "${flags[@]}" --runs 1 "$file" "$algo")
    ours+=("$rate")
    # shellcheck disable=SC2086
    theirs+=("$(tool_rate ${tool[$algo]} "$file")")
  done
  theirs_digest=$(cat "$digest_out")
  read -r _ _ ours_memory _ < <("$bench" "${flags[@]}" --runs "$runs" --memory "$file" "$algo")
  ours_file=$(best "${ours[@]}")
  theirs_best=$(best "${theirs[@]}")
  ossl="-"
  [ -n "${evp[$algo]:-}" ] && ossl=$(openssl_rate "${evp[$algo]}")
  verdict=$(awk -v a="$ours_file" -v b="$theirs_best" 'BEGIN {print (a >= b) ? "faster" : "SLOWER"}')
  [ "$ours_digest" = "$theirs_digest" ] || verdict="DIGEST-MISMATCH"
  printf '%-9s %10s %-10s %10s %-26s %10s %10s %s\n' "$algo" "$ours_file" "$path" "$ours_memory" "${tool[$algo]}" \
    "$theirs_best" "$ossl" "$verdict"
done
