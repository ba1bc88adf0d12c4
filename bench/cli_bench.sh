#!/usr/bin/env bash
# tarvix-cli's figures, each beside what it is measured against in the same run:
#   list of the large archive (1,000,000 entries) to /dev/null
#       vs the window's "chosen -> tree shown" on the same archive (tarvix_bench_window);
#   extract (unpacking, all cores) and check of the realistic archive (23,000 entries)
#       vs inflating all its streams in memory on all cores (tarvix_bench_inflate).
# Within each pair the runs alternate, so that a busy machine weighs on both sides alike; the
# medians are printed. The list pairs run first, before anything is written, so that the
# extraction's write-back does not fall on them. Builds what it needs in the Release build of
# scripts/bench.sh (build-bench/) and writes the archives there if they are missing.
#
# Usage: bench/cli_bench.sh [runs]      runs: 5 unless given
# BENCH_WORK=<dir>     where the archives are (build-bench/bench-work)
# EXTRACT_DIR=<dir>    where extract writes (BENCH_WORK/cli-extract); a tmpfs such as
#                      /dev/shm/x leaves the disk out of the extraction figure
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-bench"
runs="${1:-5}"
work="${BENCH_WORK:-$build/bench-work}"
out="${EXTRACT_DIR:-$work/cli-extract}"
cli="$build/tarvix-cli"

cmake --build "$build" --parallel "$(nproc)" --target tarvix-cli tarvix_bench_inflate \
    tarvix_bench_window make_bench_dat >/dev/null
# make_bench_dat writes an archive unless it is there already, and prints "<path>: <counts>".
archive_path() {
    "$build/bench/make_bench_dat" "$1" "$work" | sed 's/: [0-9]* entries.*//'
}
large="$(archive_path large)"
realistic="$(archive_path realistic)"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"

# Milliseconds that "$@" takes, wall-clock, its output thrown away; no process is started
# to read the clock.
elapsed_ms() {
    local start=$EPOCHREALTIME
    "$@" >/dev/null
    local end=$EPOCHREALTIME
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%d\n", (e - s) * 1000 }'
}

median() {
    sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

window_ms() {
    "$build/bench/tarvix_bench_window" --child=startup "$large" |
        awk '/^chosen_to_shown_ms/ { printf "%d\n", $2 }'
}

# A new output folder for each run, all removed only at the end: ext4 avoids reusing the inodes
# of files deleted in the last minutes, and its search past 23,000 of them took three
# quarters of an extraction that followed straight on an rm -rf (perf: recently_deleted).
# And the disk quiet again after the previous extraction.
fresh_out() {
    mkdir -p "$out/run-$1"
    sync
}

cat "$large" "$realistic" >/dev/null  # both in the page cache, as after any first run

list_ms=() window=() extract_ms=() check_ms=() inflate_ms=()
for ((run = 0; run < runs; run++)); do
    list_ms+=("$(elapsed_ms "$cli" list "$large")")
    window+=("$(window_ms)")
done
for ((run = 0; run < runs; run++)); do
    fresh_out "$run"
    extract_ms+=("$(elapsed_ms "$cli" extract -q -C "$out/run-$run" "$realistic")")
    sync
    check_ms+=("$(elapsed_ms "$cli" check -q "$realistic")")
    inflate_ms+=("$("$build/bench/tarvix_bench_inflate" "$realistic" 1)")
done

row() {  # figure, value, reference, target ratio
    awk -v f="$1" -v v="$2" -v r="$3" -v t="$4" 'BEGIN {
        ratio = v / r
        printf "%-56s %6d ms / %6.0f ms = %5.2fx  (<= %sx) %s\n", f, v, r, ratio, t,
               ratio <= t ? "met" : "MISSED" }'
}

list=$(printf '%s\n' "${list_ms[@]}" | median)
shown=$(printf '%s\n' "${window[@]}" | median)
extract=$(printf '%s\n' "${extract_ms[@]}" | median)
check=$(printf '%s\n' "${check_ms[@]}" | median)
inflate=$(printf '%s\n' "${inflate_ms[@]}" | median)
echo "== tarvix-cli, median of $runs runs ($(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg))"
echo "   extraction into $out ($(df --output=fstype "$(dirname "$out")" | tail -1))"
printf '%-56s %6d ms  (<= 1000 ms) %s\n' "list large (1,000,000 entries) > /dev/null" "$list" \
    "$([ "$list" -le 1000 ] && echo met || echo MISSED)"
row "list large / window: large chosen -> tree shown" "$list" "$shown" 1.5
row "extract realistic / in-memory inflation of its streams" "$extract" "$inflate" 1.25
row "check realistic / in-memory inflation of its streams" "$check" "$inflate" 1.25
rm -rf "$out"
