#!/usr/bin/env bash
# The job benchmark in one run on a page-cached file of random bytes: all eleven algorithms through the
# job's scheduler (hashwarden-bench --job) against the sum of the eleven single passes and against
# rhash; MD5 + SHA1 + SHA2-256 against the sum of its three; the peak memory of --job; the window's
# time from the Verify click to the end message; the main loop's worst latency with all eleven ticked
# on a 2 GiB file. Prints a Markdown table. Every time is the best of RUNS rounds (3 by default) in
# which the measures take turns, so a neighbour's burst of work on a shared machine is not charged to one.
#   scripts/bench-job.sh [SIZE_MIB]      (1024 by default; HW_BUILD names the build folder, build/)
# The window figures need the GUI build and Xvfb; without them those rows are left out.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${HW_BUILD:-build}
size_mib=${1:-1024}
runs=${RUNS:-3}
bench="$build/hashwarden-bench"
driver="$build/calc_window_driver"
[ -x "$bench" ] || { echo "bench-job: build hashwarden-bench first ($bench)" >&2; exit 1; }

work=$(mktemp -d /tmp/hw-bench-job-XXXXXX)
trap 'rm -rf "$work"' EXIT
file="$work/random.bin"
head -c $((size_mib << 20)) /dev/urandom >"$file"
cat "$file" >/dev/null

all=(crc32 md5 sha1 sha2-224 sha2-256 sha2-384 sha2-512 sha3-224 sha3-256 sha3-384 sha3-512)
trio=(md5 sha1 sha2-256)

# "SECONDS WORKERS" of one --job run.
job() { "$bench" --job "$@" | awk '$1 == "job" { print $2, $3 }'; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
now() { date +%s.%N; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
least() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }
sum() { awk -v a="$1" -v b="$2" 'BEGIN { print a + b }'; }

declare -A single
job_all= job_trio= rhash_all= window=
mkdir -p "$work/home"
for ((round = 1; round <= runs; ++round)); do
  read -r t workers < <(job "$file")
  job_all=$(least "$job_all" "$t")
  read -r t _ < <(job "$file" "${trio[@]}")
  job_trio=$(least "$job_trio" "$t")
  for algorithm in "${all[@]}"; do
    read -r t _ < <(job --workers 1 "$file" "$algorithm")
    single[$algorithm]=$(least "${single[$algorithm]:-}" "$t")
  done
  if command -v rhash >/dev/null; then
    start=$(now)
    rhash --crc32 --md5 --sha1 --sha224 --sha256 --sha384 --sha512 --sha3-224 --sha3-256 --sha3-384 \
      --sha3-512 "$file" >/dev/null
    rhash_all=$(least "$rhash_all" "$(seconds "$start" "$(now)")")
  fi
  if [ -x "$driver" ]; then
    read -r _ t _ _ < <(HOME="$work/home" scripts/with-xvfb.sh "$driver" time "$file" 2>/dev/null | grep '^window')
    window=$(least "$window" "$t")
  fi
done
sum_all=0
sum_trio=0
for algorithm in "${all[@]}"; do sum_all=$(sum "$sum_all" "${single[$algorithm]}"); done
for algorithm in "${trio[@]}"; do sum_trio=$(sum "$sum_trio" "${single[$algorithm]}"); done
peak_kib=$( { /usr/bin/time -f '%M' "$bench" --job "$file" >/dev/null; } 2>&1 | tail -1)

latency=
if [ -x "$driver" ]; then
  # The latency figure: every core hashing a 2 GiB file (sparse: zeros cost as much as any bytes).
  truncate -s 2G "$work/two-gib.bin"
  read -r _ _ _ latency < <(HOME="$work/home" scripts/with-xvfb.sh "$driver" time "$work/two-gib.bin" 2>/dev/null |
    grep '^window')
fi

echo "Job benchmark on a page-cached ${size_mib} MiB file, $(nproc) cores, best of $runs rounds," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "| Measure | Seconds | Ratio | Target |"
echo "|---|---|---|---|"
echo "| All eleven, --job ($workers threads) | $job_all | | |"
echo "| Sum of the eleven single passes | $sum_all | job / sum $(ratio "$job_all" "$sum_all") | at most 0.55 |"
[ -n "$rhash_all" ] &&
  echo "| rhash, the same eleven | $rhash_all | job / rhash $(ratio "$job_all" "$rhash_all") | under 0.5 |"
echo "| MD5 + SHA1 + SHA2-256, --job | $job_trio | | |"
echo "| Sum of those three single passes | $sum_trio | job / sum $(ratio "$job_trio" "$sum_trio") | at most 0.6 |"
[ -n "$window" ] &&
  echo "| Window, Verify click to end message, all eleven | $window | window / job $(ratio "$window" "$job_all") | within 15 % |"
echo "| Peak memory of --job, all eleven | $(awk -v k="$peak_kib" 'BEGIN { printf "%.1f MiB", k / 1024 }') | | under 32 MiB |"
[ -n "$latency" ] &&
  echo "| Main loop's worst latency, all eleven on 2 GiB | $latency ms | | under 50 ms |"
echo
echo "Single passes (s): $(for a in "${all[@]}"; do printf '%s %s  ' "$a" "${single[$a]}"; done)"
