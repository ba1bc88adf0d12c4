#!/usr/bin/env bash
# Builds the benchmarks in Release into build-bench/ (installing missing Debian packages first)
# and prints every figure with its target. The synthetic archives (about 1 GB) are made on the
# first run and kept in build-bench/bench-work for the next.
#
# Usage: scripts/bench.sh [runs]     runs: repetitions per figure, 5 unless given
# BENCH_WORK=<dir> puts the archives and the extraction output elsewhere (same file system
# for both, which the extraction comparison needs).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-bench"
runs="${1:-5}"
work="${BENCH_WORK:-$build/bench-work}"

"$root/scripts/setup.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DTARVIX_BUILD_BENCH=ON \
    -DTARVIX_BUILD_TESTS=OFF

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"

echo
echo "== Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'),"\
     "load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "== Without the window (Google Benchmark, median of $runs)"
"$build/bench/tarvix_bench_core" --work="$work" --benchmark_repetitions="$runs" \
    --benchmark_report_aggregates_only=true --benchmark_enable_random_interleaving=true
echo
echo "== A stack of sources (Google Benchmark, median of $runs)"
"$build/bench/tarvix_bench_stack" --work="$work" --benchmark_repetitions="$runs" \
    --benchmark_report_aggregates_only=true --benchmark_enable_random_interleaving=true
echo
echo "== With the window (whole program, offscreen, median of $runs)"
"$build/bench/tarvix_bench_window" --work="$work" --runs="$runs"
echo
echo "== The viewer (offscreen, median of $runs)"
"$build/bench/tarvix_bench_preview" --work="$work" --runs="$runs"
