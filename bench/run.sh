#!/usr/bin/env bash
# Runs the benchmarks and prints their table: bench/run.sh [collect|download|responsive|startup ...]
#
# Configures and builds a Release build directory (build-bench, or $BENCH_BUILD_DIR) with the
# benchmarks switched on, runs each benchmark $RUNS times (default 5) and prints, per figure, the median
# over the runs: the program, each baseline, their ratio (the median of the ratios each run measured
# against its own baseline), the target and whether it was met. Each run's output is kept in
# <build dir>/bench-results/. Downloads go to a temporary folder inside the build directory (the same
# disk as the tree) and are deleted after each run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BENCH_BUILD_DIR:-$root/build-bench}
runs=${RUNS:-5}
benches=("$@")
((${#benches[@]})) || benches=(collect download responsive startup)

# The tools the baselines and the start-up benchmark need; scripts/setup.sh installs them.
for tool in cmake ninja curl aria2c Xvfb; do
  if ! command -v "$tool" >/dev/null; then
    echo "run.sh: $tool is missing; running scripts/setup.sh first"
    scripts/setup.sh "$build" -DCMAKE_BUILD_TYPE=Release -DKESTRANO_BENCH=ON
    break
  fi
done

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRANO_BENCH=ON >/dev/null
cmake --build "$build" --parallel 2 --target bench_collect bench_download bench_responsive bench_startup

results=$build/bench-results
rm -rf "$results"
mkdir -p "$results"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

xvfb_pid=
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT

for bench in "${benches[@]}"; do
  if [ "$bench" = startup ] && [ -z "$xvfb_pid" ]; then
    # A private X server on a free display for the windows of the start-up benchmark.
    exec {display_fd}<> <(:)
    Xvfb -displayfd "$display_fd" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    read -r -t 10 display_number <&"$display_fd"
    export DISPLAY=:$display_number
  fi
  for ((i = 1; i <= runs; i++)); do
    echo "== $bench, run $i of $runs (load $(cut -d' ' -f1 /proc/loadavg))"
    # The window benchmarks measure the real window on the offscreen platform; the start-up benchmark
    # chooses the platform of the windows it starts itself.
    (cd "$build" && QT_QPA_PLATFORM=offscreen "./bench_$bench" --scratch "$build" --run "$i") >"$results/$bench-$i.txt" 2>"$results/$bench-$i.err" || {
      echo "run.sh: bench_$bench failed; see $results/$bench-$i.txt and .err"
      cat "$results/$bench-$i.err" >&2
      exit 1
    }
    grep -v '^figure ' "$results/$bench-$i.txt" || true
  done
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# The median of one figure of one benchmark over its runs (empty when it was not run).
median() {
  cat "$results/$1"-*.txt 2>/dev/null | awk -v name="$2" '$1 == "figure" && $2 == name { print $3 }' | sort -g |
    awk '{ v[NR] = $1 } END { if (NR == 0) exit; m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.3f", m }'
}
# "yes" when value op limit holds.
met() { awk -v v="$1" -v l="$3" -v op="$2" 'BEGIN { ok = (op == "<=") ? v <= l : v < l; print (v == "" ? "-" : ok ? "yes" : "NO") }'; }

echo
echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores," \
  "$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), $(uname -sr)"
echo "Load average (1, 5, 15 min) before: $load_before; after: $load_after. Medians of $runs runs."
echo
printf '| %-40s | %-12s | %-30s | %-7s | %-8s | %-4s |\n' "Benchmark" "Kestrano" "Baseline" "Ratio" "Target" "Met"
printf '|%s|%s|%s|%s|%s|%s|\n' "------------------------------------------" "--------------" "--------------------------------" "---------" "----------" "------"
row() { printf '| %-40s | %-12s | %-30s | %-7s | %-8s | %-4s |\n' "$@"; }
for bench in "${benches[@]}"; do
  case $bench in
    collect)
      r=$(median collect ratio)
      row "collect: author of 10,000 videos" "$(median collect kestrano_s) s" \
        "libcurl replay $(median collect baseline_s) s" "$r" "<= 1.25" "$(met "$r" '<=' 1.25)"
      rows=$(median collect rows)
      row "collect: rows in the table" "${rows%.*}" "-" "-" "10000" "$([ "${rows%.*}" = 10000 ] && echo yes || echo NO)" ;;
    download)
      r=$(median download ratio)
      row "download: 48 x 16 MiB" "$(median download kestrano_s) s" \
        "curl $(median download curl_s) s, aria2c $(median download aria2c_s) s" "$r" "<= 1.05" "$(met "$r" '<=' 1.05)"
      r=$(median download memory_ratio)
      row "download: peak resident memory" "$(median download peak_mib) MiB" \
        "idle window $(median download idle_peak_mib) MiB" "$r" "<= 1.5" "$(met "$r" '<=' 1.5)" ;;
    responsive)
      for c in collect download renumber; do
        longest=$(median responsive "${c}_longest_ms")
        row "responsive, $c: longest gap" "$longest ms" "idle $(median responsive "${c}_idle_longest_ms") ms" \
          "-" "< 50 ms" "$(met "$longest" '<' 50)"
        row "responsive, $c: p99 gap" "$(median responsive "${c}_p99_ms") ms" \
          "idle $(median responsive "${c}_idle_p99_ms") ms" "-" "-" "-"
      done ;;
    startup)
      r=$(median startup ratio)
      row "startup: start to window shown" "$(median startup kestrano_ms) ms" "bare window $(median startup bare_ms) ms" \
        "$r" "<= 1.5" "$(met "$r" '<=' 1.5)"
      r=$(median startup memory_ratio)
      row "startup: idle resident memory" "$(median startup kestrano_rss_mib) MiB" \
        "bare window $(median startup bare_rss_mib) MiB" "$r" "<= 1.5" "$(met "$r" '<=' 1.5)"
      row "startup, for reference: window with text" "-" \
        "$(median startup text_ms) ms, $(median startup text_rss_mib) MiB" "-" "-" "-" ;;
  esac
done
