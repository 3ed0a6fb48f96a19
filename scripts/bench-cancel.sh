#!/usr/bin/env bash
# Cancel's delay on the real window: all eleven algorithms ticked, Cancel pressed once the job is well
# under way and answered Yes; the seconds from the answer to the end message on the screen, on a 2 GiB
# page-cached file, the same file read cold from the disk (the page cache dropped first, which needs
# root), and a 16 GiB sparse file. Prints a Markdown table of the best and the median of ROUNDS runs.
#   scripts/bench-cancel.sh      (HW_BUILD names the build folder, build/; ROUNDS 5 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${HW_BUILD:-build}
rounds=${ROUNDS:-5}
driver="$build/calc_window_driver"
[ -x "$driver" ] || { echo "bench-cancel: build calc_window_driver first ($driver)" >&2; exit 1; }

work=$(mktemp -d /tmp/hw-bench-cancel-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/home"
head -c $((2 << 30)) /dev/urandom >"$work/random.bin"
truncate -s 16G "$work/sparse.bin"

# "SECONDS PROGRESS" of one run: the delay and how far (in passes) the job had got.
run() { HOME="$work/home" scripts/with-xvfb.sh "$driver" cancel "$1" 2>/dev/null | awk '$1 == "cancel" { print $2, $4 }'; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "| file | best (s) | median (s) | job's progress at the answer (passes of 11) |"
echo "|---|---:|---:|---:|"
for kind in cached cold sparse; do
  times=()
  progress=
  for _ in $(seq "$rounds"); do
    case $kind in
      cached) cat "$work/random.bin" >/dev/null; file="$work/random.bin" ;;
      cold) sync; echo 3 >/proc/sys/vm/drop_caches 2>/dev/null || { echo "| cold | needs root | | |"; continue 2; }
            file="$work/random.bin" ;;
      sparse) file="$work/sparse.bin" ;;
    esac
    read -r seconds progress < <(run "$file")
    times+=("$seconds")
  done
  best=$(printf '%s\n' "${times[@]}" | sort -n | head -n1)
  echo "| $kind | $best | $(printf '%s\n' "${times[@]}" | median) | $progress |"
done
