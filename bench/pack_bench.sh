#!/usr/bin/env bash
# Packing's figures, each beside what it is measured against in the same run:
#   create of the realistic tree (the realistic archive extracted: 23,000 files, 781 MB) at the
#       default level on all cores vs the same files compressed in memory with the same library
#       and level on all cores (tarvix_bench_pack floor);
#   packing that tree with 2 workers vs 1 (tarvix_bench_pack pack);
#   add of one 1 MB file to the realistic archive vs copying the archive once (cp).
# Within each pair the runs alternate, so that a busy machine weighs on both sides alike; the
# medians are printed. Everything is read and written in WORK, which should be a tmpfs, so
# that the disk stays out of the figures.
#
# Usage: bench/pack_bench.sh [runs]     runs: 5 unless given
# BUILD=<dir>   the build with tarvix-cli and the benchmarks (build-bench)
# WORK=<dir>    where the tree and the archives go (/dev/shm/tarvix-pack-bench)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD:-$root/build-bench}"
runs="${1:-5}"
work="${WORK:-/dev/shm/tarvix-pack-bench}"
cli="$build/tarvix-cli"
bench="$build/bench/tarvix_bench_pack"

cmake --build "$build" --parallel "$(nproc)" --target tarvix-cli tarvix_bench_pack \
    make_bench_dat >/dev/null
mkdir -p "$work"
realistic="$("$build/bench/make_bench_dat" realistic "$work" | sed 's/: [0-9]* entries.*//')"
if [[ ! -d $work/tree ]]; then
    mkdir -p "$work/tree.part"
    "$cli" extract -q -C "$work/tree.part" "$realistic"
    mv "$work/tree.part" "$work/tree"
fi
# One megabyte of the tree's own kind of content, to add.
# (head ends the pipe early, on purpose.)
{ find "$work/tree" -type f -print0 | sort -z | xargs -0 cat 2>/dev/null | head -c 1000000 \
    >"$work/one-mb.bin"; } || true
echo "== $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), work in $(df -T "$work" | awk 'NR == 2 { print $2 }')"

elapsed_ms() {
    local start=$EPOCHREALTIME
    "$@" >/dev/null
    local end=$EPOCHREALTIME
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%d\n", (e - s) * 1000 }'
}
median() {
    sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

create_ms=() floor_ms=() one_ms=() two_ms=() add_ms=() copy_ms=()
for ((run = 0; run < runs; run++)); do
    rm -f "$work/created.dat"
    create_ms+=("$(elapsed_ms "$cli" create -q -C "$work/tree" "$work/created.dat" .)")
    floor_ms+=("$("$bench" floor "$work/tree" 9 "$(nproc)" libdeflate | cut -d' ' -f1)")
    one_ms+=("$("$bench" pack "$work/tree" "$work/one.dat" 9 1 | cut -d' ' -f1)")
    two_ms+=("$("$bench" pack "$work/tree" "$work/two.dat" 9 2 | cut -d' ' -f1)")
    cmp "$work/one.dat" "$work/two.dat"
    cp "$realistic" "$work/added.dat"
    add_ms+=("$(elapsed_ms "$cli" add -q -C "$work" "$work/added.dat" one-mb.bin)")
    rm -f "$work/copy.dat"
    copy_ms+=("$(elapsed_ms cp "$realistic" "$work/copy.dat")")
done

row() {  # figure, value, reference, target
    awk -v f="$1" -v v="$2" -v r="$3" -v t="$4" 'BEGIN {
        printf "%-58s %7d ms / %7d ms = %5.2fx  (%s)\n", f, v, r, v / r, t }'
}
create=$(printf '%s\n' "${create_ms[@]}" | median)
floor=$(printf '%s\n' "${floor_ms[@]}" | median)
one=$(printf '%s\n' "${one_ms[@]}" | median)
two=$(printf '%s\n' "${two_ms[@]}" | median)
add=$(printf '%s\n' "${add_ms[@]}" | median)
copy=$(printf '%s\n' "${copy_ms[@]}" | median)
echo "== medians of $runs"
row "create, realistic tree / in-memory libdeflate level 9" "$create" "$floor" "<= 1.25x"
row "pack with 1 worker / with 2 workers" "$one" "$two" ">= 1.6x"
row "add of 1 MB to the realistic archive / cp of the archive" "$add" "$copy" "<= 1.5x"
echo "created: $(stat -c %s "$work/created.dat") bytes; archive read from: $(stat -c %s "$realistic") bytes"
echo "== load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
