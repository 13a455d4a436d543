#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer, the core
# library instrumented too) and runs each for a bounded time on a copy of its seed corpus. Exits
# non-zero when any target finds a crash, a leak, a timeout, a sanitizer report or a broken property;
# the failing input is kept in <build-dir>/fuzz-results/ and its report printed.
#
#   fuzz/run.sh [seconds-per-target] [target...]
#
# Defaults: 60 seconds, every target. FUZZ_BUILD_DIR (default build-fuzz) names the build directory;
# FUZZ_JOBS (default 1) runs that many targets side by side.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
all_targets=(share_link json_document works_page_scan file_name cookies encoding ini_profile response_headers)
if (($#)); then targets=("$@"); else targets=("${all_targets[@]}"); fi
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
jobs=${FUZZ_JOBS:-1}
results=$build_dir/fuzz-results

for t in "${targets[@]}"; do
  if [ ! -f "fuzz/${t}_fuzzer.cpp" ]; then
    echo "fuzz: no target '$t' (targets: ${all_targets[*]})" >&2
    exit 2
  fi
done

# Debian's clang and its libFuzzer runtime (packages clang and libclang-rt-14-dev, which
# scripts/setup.sh installs): a target that links proves both are there.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' >"$work/probe.cpp"
if ! clang++ -fsanitize=fuzzer,address,undefined "$work/probe.cpp" -o "$work/probe" 2>"$work/probe.log"; then
  echo "fuzz: clang++ cannot build a libFuzzer target; install clang and libclang-rt-14-dev" >&2
  cat "$work/probe.log" >&2
  exit 2
fi

start=$SECONDS
# RelWithDebInfo at -O1 keeps assertions on and stack traces readable.
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
  -DKESTRANO_GUI=OFF -DKESTRANO_FUZZ=ON >"$work/configure.log" || { cat "$work/configure.log" >&2; exit 2; }
cmake --build "$build_dir" --parallel "$(nproc)" --target "${targets[@]/%/_fuzzer}"
echo "fuzz: built in $((SECONDS - start)) s; running ${#targets[@]} target(s) for $seconds s each, $jobs at a time"

rm -rf "$results"
mkdir -p "$results"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# One target on a copy of its corpus, so new inputs never land in the repository. Writes
# <target>.log and <target>.status ("<exit code> <executions>").
run_target() {
  local t=$1 corpus="$work/corpus-$1" rc=0
  cp -r "fuzz/corpus/$t" "$corpus"
  local options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
                 -artifact_prefix="$results/$t-")
  if [ -f "fuzz/dict/$t.dict" ]; then options+=(-dict="fuzz/dict/$t.dict"); fi
  "$build_dir/fuzz-bin/${t}_fuzzer" "${options[@]}" "$corpus" >"$results/$t.log" 2>&1 || rc=$?
  local executions
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$results/$t.log" | tail -n 1)
  echo "$rc ${executions:-?}" >"$results/$t.status"
}

for t in "${targets[@]}"; do
  while (($(jobs -rp | wc -l) >= jobs)); do wait -n || true; done
  run_target "$t" &
done
wait

failed=0
for t in "${targets[@]}"; do
  rc=missing executions=?
  if [ -f "$results/$t.status" ]; then read -r rc executions <"$results/$t.status"; fi
  if [ "$rc" = 0 ]; then
    printf 'fuzz: %-17s ok      %12s executions\n' "$t" "$executions"
  else
    failed=1
    printf 'fuzz: %-17s FAILED  %12s executions (exit %s), log %s\n' "$t" "$executions" "$rc" "$results/$t.log"
    grep -E -A40 '^\*\*\* property failed|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:' \
      "$results/$t.log" | head -n 60 | sed 's/^/    /' || true
    for artifact in "$results/$t"-*; do
      if [ -f "$artifact" ]; then echo "    input kept as $artifact (replay: $build_dir/fuzz-bin/${t}_fuzzer $artifact)"; fi
    done
  fi
done
echo "fuzz: finished in $((SECONDS - start)) s"
exit "$failed"
