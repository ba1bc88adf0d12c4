#!/usr/bin/env bash
# tarvix-mount's figures, each beside what it is measured against in the same run, everything
# on tmpfs (the archives, the extraction, the mount's reads come from the page cache):
#   every file of the mounted realistic archive (23,000 entries) read once with cat on 2
#       readers, on a fresh mount, vs tarvix-cli extract of the same archive (target <= 2x);
#   a second pass over the same files, on the same mount vs the same files read the same way
#       from where extract wrote them (target <= 1.5x);
#   ls -R of the mounted large archive (1,000,000 entries), target < 5 s;
#   the anchor, when fuse-zip is installed: the extracted files as a zip archive (stored, no
#       packing, so that the figure is the mount's own cost), mounted with fuse-zip and read
#       once the same way.
# The reading is done twice over: with cat as it comes, and with cat's buffer kept from one
# file to the next (glibc told to take it from the heap: MALLOC_MMAP_THRESHOLD_). As it comes,
# cat maps and unmaps a fresh 128 KiB buffer for every file, and on a virtual machine whose
# page faults are dear that alone can cost more than the whole extraction; the second figure is
# what the mount costs beside cat's reads.
# Within each group the runs alternate, so that a busy machine weighs on all sides alike; the
# medians are printed.
#
# Usage: bench/mount_bench.sh [runs]      runs: 5 unless given
# BENCH_BUILD=<dir>   the build with tarvix-mount, tarvix-cli and make_bench_dat (build-bench)
# BENCH_WORK=<dir>    where the archives and the output go (/dev/shm/tarvix-mount-bench)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BENCH_BUILD:-$root/build-bench}"
runs="${1:-5}"
work="${BENCH_WORK:-/dev/shm/tarvix-mount-bench}"
mnt="$work/mnt"
mkdir -p "$work" "$mnt"

cmake --build "$build" --parallel "$(nproc)" --target tarvix-mount tarvix-cli make_bench_dat \
    >/dev/null
archive_path() {
    "$build/bench/make_bench_dat" "$1" "$work" | sed 's/: [0-9]* entries.*//'
}
realistic="$(archive_path realistic)"
large="$(archive_path large)"

elapsed_ms() {
    local start=$EPOCHREALTIME
    "$@" >/dev/null
    local end=$EPOCHREALTIME
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%d\n", (e - s) * 1000 }'
}
median() {
    sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
# Every file below $1, read once with cat on 2 readers.
read_all() {
    (cd "$1" && find . -type f -print0 | xargs -0 -P2 -n 200 cat >/dev/null)
}
# The same, with cat's buffer taken from the heap and so kept from one file to the next.
read_all_kept() {
    MALLOC_MMAP_THRESHOLD_=4194304 MALLOC_TRIM_THRESHOLD_=8388608 read_all "$1"
}
list_all() {
    ls -R "$1" >/dev/null
}
unmount() {
    fusermount3 -u "$mnt"
    while mountpoint -q "$mnt"; do sleep 0.05; done
}
trap 'mountpoint -q "$mnt" && fusermount3 -uz "$mnt"' EXIT

echo "== Machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
rm -rf "$work/extracted" && mkdir "$work/extracted"
"$build/tarvix-cli" extract -q -C "$work/extracted" "$realistic"
zip_archive="$work/realistic.zip"
if command -v fuse-zip >/dev/null && [ ! -f "$zip_archive" ]; then
    (cd "$work/extracted" && zip -q -0 -r "$zip_archive" .)
fi

extract=() first=() second=() tmpfs=() anchor=() listing=()
first_kept=() second_kept=() tmpfs_kept=()
for ((run = 0; run < runs; run++)); do
    rm -rf "$work/out" && mkdir "$work/out"
    extract+=("$(elapsed_ms "$build/tarvix-cli" extract -q -C "$work/out" "$realistic")")
    "$build/tarvix-mount" "$realistic" "$mnt"
    first+=("$(elapsed_ms read_all "$mnt")")
    second+=("$(elapsed_ms read_all "$mnt")")
    unmount
    "$build/tarvix-mount" "$realistic" "$mnt"
    first_kept+=("$(elapsed_ms read_all_kept "$mnt")")
    second_kept+=("$(elapsed_ms read_all_kept "$mnt")")
    unmount
    tmpfs+=("$(elapsed_ms read_all "$work/extracted")")
    tmpfs_kept+=("$(elapsed_ms read_all_kept "$work/extracted")")
    if command -v fuse-zip >/dev/null; then
        fuse-zip -r "$zip_archive" "$mnt"
        anchor+=("$(elapsed_ms read_all "$mnt")")
        unmount
    fi
    "$build/tarvix-mount" "$large" "$mnt"
    listing+=("$(elapsed_ms list_all "$mnt")")
    unmount
done
rm -rf "$work/out"

row() {  # figure, value, reference, target ratio
    awk -v f="$1" -v v="$2" -v r="$3" -v t="$4" 'BEGIN {
        printf "%-58s %6d ms / %6d ms = %5.2fx  (<= %sx)\n", f, v, r, v / r, t }'
}
m() { printf '%s\n' "$@" | median; }
echo "== tarvix-mount, median of $runs (load average now $(cut -d' ' -f1-3 /proc/loadavg))"
row "first read of every file (2 readers) / tarvix-cli extract" "$(m "${first[@]}")" \
    "$(m "${extract[@]}")" 2
row "second read, cached / the same files read from tmpfs" "$(m "${second[@]}")" \
    "$(m "${tmpfs[@]}")" 1.5
row "cat over tmpfs / tarvix-cli extract (the method's floor)" "$(m "${tmpfs[@]}")" \
    "$(m "${extract[@]}")" "-"
echo "-- cat with its buffer kept from file to file:"
row "first read of every file (2 readers) / tarvix-cli extract" "$(m "${first_kept[@]}")" \
    "$(m "${extract[@]}")" 2
row "second read, cached / the same files read from tmpfs" "$(m "${second_kept[@]}")" \
    "$(m "${tmpfs_kept[@]}")" 1.5
row "cat over tmpfs / tarvix-cli extract (the method's floor)" \
    "$(m "${tmpfs_kept[@]}")" "$(m "${extract[@]}")" "-"
echo "--"
if ((${#anchor[@]})); then
    row "first read of every file / fuse-zip, stored zip, the same" "$(m "${first[@]}")" \
        "$(m "${anchor[@]}")" "-"
fi
printf '%-58s %6d ms  (< 5000 ms)\n' "ls -R of the large archive (1,000,000 entries)" \
    "$(m "${listing[@]}")"
