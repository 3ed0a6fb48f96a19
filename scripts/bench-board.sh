#!/usr/bin/env bash
# The job on a simulated board, in one run: a memory cgroup that leaves CACHE_MIB (64) MiB of page cache
# beside the program, reads throttled to RATE (80 MB/s) on the file's disk, and a SIZE_MIB (256) MiB file
# evicted from the cache before every cold run (a 4 GiB image on a 1 GiB board, scaled down 16 times).
# For MD5 + SHA2-256, MD5 + SHA1 + SHA2-256 and all eleven it prints hashwarden-bench --job's time and
# the bytes it read from the disk, the same job on the page-cached file, rhash with the same algorithms,
# and dd reading the file, with the targets. Every time is the best of RUNS (3) rounds.
#   scripts/bench-board.sh [SIZE_MIB]      (HW_BUILD names the build folder, build/ by default)
# It needs root and the cgroup v1 memory and blkio hierarchies (/sys/fs/cgroup/memory, .../blkio);
# without them it says so and exits with status 0. The file is made in WORK_DIR (/var/tmp), which must
# be on a disk, not in memory.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${HW_BUILD:-build}
size_mib=${1:-256}
runs=${RUNS:-3}
rate=${RATE:-80000000}
cache_mib=${CACHE_MIB:-64}
bench="$build/hashwarden-bench"
memory_root=/sys/fs/cgroup/memory
blkio_root=/sys/fs/cgroup/blkio

skip() { echo "bench-board: skipped: $*" >&2; exit 0; }
[ "$(id -u)" -eq 0 ] || skip "the cgroups of the simulated board need root"
[ -w "$memory_root" ] && [ -f "$memory_root/memory.limit_in_bytes" ] || skip "no cgroup v1 memory hierarchy at $memory_root"
[ -w "$blkio_root" ] && [ -f "$blkio_root/blkio.throttle.read_bps_device" ] || skip "no cgroup v1 blkio throttle at $blkio_root"
[ -x "$bench" ] || { echo "bench-board: build hashwarden-bench first ($bench)" >&2; exit 1; }

work=$(mktemp -d "${WORK_DIR:-/var/tmp}/hw-board-XXXXXX")
group="hw-board-$$"
cleanup() {
  rmdir "$memory_root/$group" "$blkio_root/$group" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
file="$work/image.bin"
case "$(findmnt -no FSTYPE -T "$work")" in
  tmpfs | ramfs) skip "$work is in memory; set WORK_DIR to a folder on a disk" ;;
esac
head -c $((size_mib << 20)) /dev/urandom >"$file"
sync "$file"

# The throttle takes the whole disk, not a partition of it.
device=$(findmnt -no MAJ:MIN -T "$file" | tr -d ' ')
[ -e "/sys/dev/block/$device/partition" ] && device=$(cat "/sys/dev/block/$device/../dev")
mkdir "$memory_root/$group" "$blkio_root/$group"
# The program's own memory (under 32 MiB) comes on top of the page cache it is left.
echo $(((cache_mib + 32) << 20)) >"$memory_root/$group/memory.limit_in_bytes"
echo "$device $rate" >"$blkio_root/$group/blkio.throttle.read_bps_device"

# Runs a command inside the board's cgroups.
on_board() { (echo "$BASHPID" >"$memory_root/$group/cgroup.procs" && echo "$BASHPID" >"$blkio_root/$group/cgroup.procs" && exec "$@"); }
disk_read() { awk -v d="$device" '$1 == d && $2 == "Read" { print $3 }' "$blkio_root/$group/blkio.throttle.io_service_bytes"; }
evict() { dd if="$file" iflag=nocache count=0 status=none; }
now() { date +%s.%N; }
least() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }
# True when time $1 beats the best so far, $2 (none yet: empty).
faster() { [ -z "$2" ] || awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
bigger() { awk -v a="$1" -v b="$2" 'BEGIN { print (a > b) ? a : b }'; }
verdict() { awk -v a="$1" -v b="$2" 'BEGIN { print (a <= b) ? "met" : "**missed**" }'; }

# "SECONDS DISK_BYTES" of one cold run of a command on the board.
cold() {
  evict
  local before start end after
  before=$(disk_read); before=${before:-0}
  start=$(now)
  on_board "$@" >/dev/null
  end=$(now)
  after=$(disk_read); after=${after:-0}
  awk -v s="$start" -v e="$end" -v b="$before" -v a="$after" 'BEGIN { printf "%.3f %d\n", e - s, a - b }'
}
job_time() { "$bench" --job "$file" "$@" | awk '$1 == "job" { print $2 }'; }

declare -A rhash_flag=([crc32]=--crc32 [md5]=--md5 [sha1]=--sha1 [sha2-224]=--sha224 [sha2-256]=--sha256
  [sha2-384]=--sha384 [sha2-512]=--sha512 [sha3-224]=--sha3-224 [sha3-256]=--sha3-256 [sha3-384]=--sha3-384
  [sha3-512]=--sha3-512)
sets=("md5 sha2-256" "md5 sha1 sha2-256"
  "crc32 md5 sha1 sha2-224 sha2-256 sha2-384 sha2-512 sha3-224 sha3-256 sha3-384 sha3-512")
names=("MD5, SHA2-256" "MD5, SHA1, SHA2-256" "all eleven")
have_rhash=$(command -v rhash >/dev/null && echo yes || echo no)

declare -A job_cold job_bytes job_cached rhash_cold rhash_bytes
dd_time= dd_bytes=
for ((round = 1; round <= runs; ++round)); do
  read -r t b < <(cold dd if="$file" of=/dev/null bs=1M status=none)
  if faster "$t" "$dd_time"; then dd_time=$t dd_bytes=$b; fi
  for i in "${!sets[@]}"; do
    read -r -a algorithms <<<"${sets[$i]}"
    read -r t b < <(cold "$bench" --job "$file" "${algorithms[@]}")
    if faster "$t" "${job_cold[$i]:-}"; then job_cold[$i]=$t job_bytes[$i]=$b; fi
    cat "$file" >/dev/null
    job_cached[$i]=$(least "${job_cached[$i]:-}" "$(job_time "${algorithms[@]}")")
    if [ "$have_rhash" = yes ]; then
      flags=()
      for a in "${algorithms[@]}"; do flags+=("${rhash_flag[$a]}"); done
      read -r t b < <(cold rhash "${flags[@]}" "$file")
      if faster "$t" "${rhash_cold[$i]:-}"; then rhash_cold[$i]=$t rhash_bytes[$i]=$b; fi
    fi
  done
done

cpu=$(awk -F': ' '/^model name/ { n = $2 } /^cpu family/ { f = $2 } /^model\t/ { m = $2 } END { printf "%s, family %s, model %s", n, f, m }' /proc/cpuinfo)
echo "Simulated board: $size_mib MiB file, $cache_mib MiB of page cache, reads at $rate bytes/s on $device;" \
  "$cpu; $(nproc) cores; best of $runs rounds; load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "dd reads the cold file in $dd_time s ($(ratio "$dd_bytes" $((size_mib << 20))) x the file from the disk)."
echo
echo "| ticked | --job, cold | read from disk | --job, page-cached | target: at most 1.1 x the larger of dd and page-cached | rhash, cold | rhash read | job / rhash |"
echo "|---|---:|---:|---:|---|---:|---:|---:|"
for i in "${!sets[@]}"; do
  bound=$(awk -v a="$(bigger "$dd_time" "${job_cached[$i]}")" 'BEGIN { printf "%.3f", 1.1 * a }')
  read_ratio=$(ratio "${job_bytes[$i]}" $((size_mib << 20)))
  rhash_cells="| | |"
  if [ "$have_rhash" = yes ]; then
    rhash_cells="| ${rhash_cold[$i]} s | $(ratio "${rhash_bytes[$i]}" $((size_mib << 20))) x | $(ratio "${job_cold[$i]}" "${rhash_cold[$i]}")"
  fi
  echo "| ${names[$i]} | ${job_cold[$i]} s | $read_ratio x ($(verdict "$read_ratio" 1.05) ≤ 1.05) |" \
    "${job_cached[$i]} s | $bound s: $(verdict "${job_cold[$i]}" "$bound") $rhash_cells |"
done
