#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 25), two at a time.
# Any crash, leak, undefined behaviour, input slower than 1 s, single allocation over 256 MiB or a
# process grown past 512 MiB fails the run; the input that caused it is left in
# build-fuzz/artifacts/. Usage: scripts/fuzz.sh [SECONDS [TARGET...]]
# HW_FUZZ_TIMEOUT (seconds, default 1) is how slow one input may be: a long run beside other work on the
# same cores can starve a target for more than a second, which is no fault of the input's.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-25}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(key_value settings first_line checksum_list language_zip language_folder)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHW_FUZZ=ON \
  -DHW_WITH_GUI=OFF -DHW_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz

mkdir -p build-fuzz/artifacts
# AddressSanitizer keeps freed memory in a quarantine to catch uses after free; its default of
# 256 MiB alone took a target past any sensible memory limit within minutes. 8 MiB still holds
# thousands of the readers' freed blocks, and each target then levels out below 100 MiB
# (docs/building-and-testing.md, Fuzzing), so the limits below are met only by a real blow-up: one
# huge allocation, or growth that does not stop.
export ASAN_OPTIONS="quarantine_size_mb=8${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
# One target: new inputs go to a corpus in the build folder; the checked-in corpus (seeds and every
# input that once found a fault) is read first, so each run replays the old faults.
run_target() {
  local target=$1 work=build-fuzz/corpus/$1
  mkdir -p "$work"
  if build-fuzz/${target}_fuzz -max_total_time="$seconds" -timeout="${HW_FUZZ_TIMEOUT:-1}" -malloc_limit_mb=256 -rss_limit_mb=512 \
       -max_len=8192 -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/${target}- \
       "$work" tests/fuzz/corpus/"$target" >build-fuzz/$target.log 2>&1; then
    echo "fuzz $target: passed ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' build-fuzz/$target.log | grep -o '[0-9]*$') runs)"
  else
    echo "fuzz $target: FAILED, see build-fuzz/$target.log and build-fuzz/artifacts/"
    tail -n 40 build-fuzz/$target.log
    return 1
  fi
}

# Two at a time on two cores.
status=0
pids=()
for target in "${targets[@]}"; do
  run_target "$target" &
  pids+=($!)
  if [ ${#pids[@]} -eq 2 ]; then
    wait "${pids[0]}" || status=1
    pids=("${pids[1]}")
  fi
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status
