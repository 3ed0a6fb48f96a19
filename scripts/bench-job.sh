#!/usr/bin/env bash
# The job benchmark in one run on a page-cached file of random bytes: all eleven algorithms through the
# job's scheduler (hashwarden-bench --job) against the sum of the eleven single passes and against
# rhash; the four SHA-3 lengths through the job (one family pass where the kernels share their lanes)
# against the sum of their single passes, and their family pass against their four single passes in
# memory on one core (hashwarden-bench --family under taskset, CPU time), and the same for SHA2-224 with
# SHA2-256 and SHA2-384 with SHA2-512, which share a pass where the processor has a kernel for two
# states; MD5 + SHA1 + SHA2-256
# against the sum of its three; the peak memory of --job; the window's
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
sha3=(sha3-224 sha3-256 sha3-384 sha3-512)

# "SECONDS WORKERS" of one --job run.
job() { "$bench" --job "$@" | awk '$1 == "job" { print $2, $3 }'; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
now() { date +%s.%N; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
least() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }
sum() { awk -v a="$1" -v b="$2" 'BEGIN { print a + b }'; }

declare -A single
job_all= job_trio= job_sha3= rhash_all= window= family= family_singles=
declare -A pair pair_singles pair_path
mkdir -p "$work/home"
for ((round = 1; round <= runs; ++round)); do
  read -r t workers < <(job "$file")
  job_all=$(least "$job_all" "$t")
  read -r t _ < <(job "$file" "${trio[@]}")
  job_trio=$(least "$job_trio" "$t")
  read -r t _ < <(job "$file" "${sha3[@]}")
  job_sha3=$(least "$job_sha3" "$t")
  read -r f s path < <(taskset -c 0 "$bench" --family --cpu-time --runs 1 "$file" "${sha3[@]}" |
    awk '$1 == "family" { print $2, $5, $10 }')
  family=$(least "$family" "$f")
  family_singles=$(least "$family_singles" "$s")
  for lengths in sha2-224+sha2-256 sha2-384+sha2-512; do
    read -r f s path_of_pair < <(taskset -c 0 "$bench" --family --cpu-time --runs 1 "$file" ${lengths/+/ } |
      awk '$1 == "family" { print $2, $5, $10 }')
    pair_path[$lengths]=$path_of_pair
    pair[$lengths]=$(least "${pair[$lengths]:-}" "$f")
    pair_singles[$lengths]=$(least "${pair_singles[$lengths]:-}" "$s")
  done
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
sum_sha3=0
for algorithm in "${all[@]}"; do sum_all=$(sum "$sum_all" "${single[$algorithm]}"); done
for algorithm in "${trio[@]}"; do sum_trio=$(sum "$sum_trio" "${single[$algorithm]}"); done
for algorithm in "${sha3[@]}"; do sum_sha3=$(sum "$sum_sha3" "${single[$algorithm]}"); done
peak_kib=$( { /usr/bin/time -f '%M' "$bench" --job "$file" >/dev/null; } 2>&1 | tail -1)

latency=
if [ -x "$driver" ]; then
  # The latency figure: every core hashing a 2 GiB file (sparse: zeros cost as much as any bytes).
  truncate -s 2G "$work/two-gib.bin"
  read -r _ _ _ latency < <(HOME="$work/home" scripts/with-xvfb.sh "$driver" time "$work/two-gib.bin" 2>/dev/null |
    grep '^window')
fi

cpu=$(awk -F': ' '/^model name/ { name = $2 } /^cpu family/ { family = $2 } /^model\t/ { model = $2 }
  END { printf "%s (family %s, model %s)", name, family, model }' /proc/cpuinfo)
echo "Job benchmark on a page-cached ${size_mib} MiB file, $cpu, $(nproc) cores, best of $runs rounds," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "| Measure | Seconds | Ratio | Target |"
echo "|---|---|---|---|"
echo "| All eleven, --job ($workers threads) | $job_all | | |"
echo "| Sum of the eleven single passes | $sum_all | job / sum $(ratio "$job_all" "$sum_all") | at most 0.40 |"
[ -n "$rhash_all" ] &&
  echo "| rhash, the same eleven | $rhash_all | job / rhash $(ratio "$job_all" "$rhash_all") | under 0.5 |"
echo "| The four SHA-3 lengths, --job | $job_sha3 | | |"
echo "| Sum of their four single passes | $sum_sha3 | job / sum $(ratio "$job_sha3" "$sum_sha3") | |"
echo "| Their family pass in memory, one core, CPU time ($path) | $family | | |"
echo "| Their four single passes in memory, one core, CPU time | $family_singles | family / singles $(ratio "$family" "$family_singles") | at most 0.55 |"
for lengths in sha2-224+sha2-256 sha2-384+sha2-512; do
  echo "| ${lengths/+/ + } in one pass in memory, one core, CPU time (${pair_path[$lengths]}) | ${pair[$lengths]} | | |"
  echo "| Their two single passes in memory, one core, CPU time | ${pair_singles[$lengths]} |" \
    "pair / singles $(ratio "${pair[$lengths]}" "${pair_singles[$lengths]}") | |"
done
echo "| MD5 + SHA1 + SHA2-256, --job | $job_trio | | |"
echo "| Sum of those three single passes | $sum_trio | job / sum $(ratio "$job_trio" "$sum_trio") | at most 0.6 |"
[ -n "$window" ] &&
  echo "| Window, Verify click to end message, all eleven | $window | window / job $(ratio "$window" "$job_all") | within 15 % |"
echo "| Peak memory of --job, all eleven | $(awk -v k="$peak_kib" 'BEGIN { printf "%.1f MiB", k / 1024 }') | | under 32 MiB |"
[ -n "$latency" ] &&
  echo "| Main loop's worst latency, all eleven on 2 GiB | $latency ms | | under 50 ms |"
echo
echo "Single passes (s): $(for a in "${all[@]}"; do printf '%s %s  ' "$a" "${single[$a]}"; done)"
