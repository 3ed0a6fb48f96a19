#!/usr/bin/env bash
# Measures the file driver's reading ahead and the SHA-384/512 kernel on a 1 GiB file of random
# bytes and prints a Markdown table of every target with its ratio, in one run.
# Usage: scripts/bench-readahead.sh [FILE]
# Env: BUILD=build folder with hashwarden-bench (default build), RUNS=rounds (default 3).
# Every figure is the best of RUNS rounds in which ours and the reference take turns. File figures
# are wall clock (the reader thread works beside the hashing, which CPU time would add up instead);
# in-memory figures are CPU time on both sides, as openssl speed measures. Needs a quiet machine:
# with other work on the processors the wall-clock ratios mean little.
set -euo pipefail
cd "$(dirname "$0")/.."
bench="${BUILD:-build}/hashwarden-bench"
runs="${RUNS:-3}"
file="${1:-/tmp/hashwarden-bench-1g.bin}"
size=$((1024 * 1024 * 1024))
[ -x "$bench" ] || { echo "build $bench first (cmake --build ${BUILD:-build} --target hashwarden-bench)" >&2; exit 1; }
for tool in openssl cksum dd python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/setup.sh installs it)" >&2; exit 1; }
done
if [ ! -f "$file" ] || [ "$(stat -c %s "$file")" -ne "$size" ]; then
  head -c "$size" /dev/urandom >"$file"
fi
small=$(mktemp /tmp/hashwarden-bench-1m.XXXXXX)
trap 'rm -f "$small"' EXIT
head -c 1048576 "$file" >"$small"

algos=(crc32 md5 sha1 sha2-224 sha2-256 sha2-384 sha2-512 sha3-224 sha3-256 sha3-384 sha3-512)
declare -A evp=(
  [md5]=md5 [sha1]=sha1 [sha2-224]=sha224 [sha2-256]=sha256 [sha2-384]=sha384 [sha2-512]=sha512
  [sha3-224]=sha3-224 [sha3-256]=sha3-256 [sha3-384]=sha3-384 [sha3-512]=sha3-512
)
declare -A mem cached cold speed path
max() { awk -v a="${1:-0}" -v b="$2" 'BEGIN {print (b > a) ? b : a}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.3f", a / b; else print "-"}'; }
atleast() { awk -v r="$1" -v t="$2" 'BEGIN {print (r >= t) ? "met" : "MISSED"}'; }
seconds_of() { awk -v r="$1" -v s="$size" 'BEGIN {printf "%.2f", (r > 0) ? s / r / 1e6 : 0}'; }
# Drops the file's pages from the page cache (a request the kernel may ignore for dirty pages).
drop() { python3 -c 'import os, sys; fd = os.open(sys.argv[1], os.O_RDONLY); os.fdatasync(fd); os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED); os.close(fd)' "$1"; }
# Wall-clock rate of a command over the file, in 10^6 bytes/s; its output is discarded.
wall_rate() {
  python3 -c '
import subprocess, sys, time
start = time.monotonic()
subprocess.run(sys.argv[2:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
print("%.1f" % (int(sys.argv[1]) / (time.monotonic() - start) / 1e6))' "$size" "$@"
}

cksum_rate=0 dd_rate=0
for ((round = 0; round < runs; round++)); do
  # In memory, CPU time: a 1 MiB buffer hashed over and over, ours and openssl speed alike.
  while read -r algo _ rate kernel; do
    mem[$algo]=$(max "${mem[$algo]:-0}" "$rate")
    path[$algo]=$kernel
  done < <("$bench" --memory --cpu-time --runs 301 "$small")
  for algo in sha2-384 sha2-512; do
    rate=$(openssl speed -evp "${evp[$algo]}" -bytes 1048576 -seconds 1 2>/dev/null | tail -1 |
      awk '{v = $NF; sub(/k$/, "", v); printf "%.1f", v / 1000}')
    speed[$algo]=$(max "${speed[$algo]:-0}" "$rate")
  done

  # The page-cached file, wall clock.
  cat "$file" >/dev/null
  for algo in "${algos[@]}"; do
    read -r _ _ rate _ < <("$bench" --runs 1 "$file" "$algo")
    cached[$algo]=$(max "${cached[$algo]:-0}" "$rate")
  done
  cksum_rate=$(max "$cksum_rate" "$(wall_rate cksum -a crc "$file")")

  # The cold file, wall clock: ours, and the disk alone through dd.
  for algo in sha2-256 sha3-512; do
    read -r _ _ rate _ < <("$bench" --cold --runs 1 "$file" "$algo")
    cold[$algo]=$(max "${cold[$algo]:-0}" "$rate")
  done
  drop "$file"
  dd_rate=$(max "$dd_rate" "$(wall_rate dd if="$file" of=/dev/null bs=1M)")
done

# Peak resident memory of one pass over the file.
cat "$file" >/dev/null
peak_kib=$(python3 - "$bench" "$file" <<'EOF'
import resource, subprocess, sys
subprocess.run([sys.argv[1], "--runs", "1", sys.argv[2], "sha2-512"], stdout=subprocess.DEVNULL, check=True)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
EOF
)

echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores;" \
  "$(openssl version | cut -d' ' -f1-2), $(cksum --version | head -1); best of $runs rounds, 10^6 bytes/s;" \
  "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)."
echo
echo "Page-cached 1 GiB file, wall clock, against the same kernel in memory (CPU time, 1 MiB buffer):"
echo
echo "| algorithm | path | in memory | page-cached file | ratio | target |"
echo "|---|---|---:|---:|---:|---|"
for algo in "${algos[@]}"; do
  if [ "$algo" = crc32 ]; then
    r=$(ratio "${cached[$algo]}" "$cksum_rate")
    echo "| crc32 | ${path[$algo]} | ${mem[$algo]} | ${cached[$algo]} | $r against cksum -a crc ($cksum_rate) | ≥ 1.5: $(atleast "$r" 1.5) |"
  else
    r=$(ratio "${cached[$algo]}" "${mem[$algo]}")
    echo "| $algo | ${path[$algo]} | ${mem[$algo]} | ${cached[$algo]} | $r | ≥ 0.95: $(atleast "$r" 0.95) |"
  fi
done
echo
echo "Cold 1 GiB file (dropped from the page cache before each run), wall clock, seconds:"
echo
echo "| algorithm | cold | page-cached | dd bs=1M, cold | cold / larger | target |"
echo "|---|---:|---:|---:|---:|---|"
dd_s=$(seconds_of "$dd_rate")
for algo in sha2-256 sha3-512; do
  c=$(seconds_of "${cold[$algo]}") p=$(seconds_of "${cached[$algo]}")
  r=$(awk -v c="$c" -v p="$p" -v d="$dd_s" 'BEGIN {m = (p > d) ? p : d; printf "%.3f", c / m}')
  echo "| $algo | $c | $p | $dd_s | $r | ≤ 1.1: $(awk -v r="$r" 'BEGIN {print (r <= 1.1) ? "met" : "MISSED"}') |"
done
echo
echo "In memory, CPU time, against openssl speed -evp ALG -bytes 1048576:"
echo
echo "| algorithm | path | ours | openssl speed | ratio | target |"
echo "|---|---|---:|---:|---:|---|"
for algo in sha2-384 sha2-512; do
  r=$(ratio "${mem[$algo]}" "${speed[$algo]}")
  echo "| $algo | ${path[$algo]} | ${mem[$algo]} | ${speed[$algo]} | $r | ≥ 1.0: $(atleast "$r" 1.0) |"
done
echo
echo "Peak resident memory of a pass over the file (sha2-512): $((peak_kib / 1024)) MiB" \
  "(target < 16 MiB: $([ "$peak_kib" -lt 16384 ] && echo met || echo MISSED))."
