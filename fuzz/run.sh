#!/usr/bin/env bash
# Fuzzes for a while: [FUZZ_TARGET=load|unpack|frm|dat1|lzss] fuzz/run.sh [seconds, default 1800] [flags]
# "load" (the default) runs whole archives through loading, the folder index and extraction;
# "unpack" runs one entry's stored bytes through unpacking, with zlib as the oracle; "frm" runs
# the viewer's FRM decoder; "dat1" whole Fallout 1 archives; "lzss" one Fallout 1 entry's
# packed bytes, with a plain second decoder as the oracle.
# Builds the libFuzzer targets (preset "fuzz", clang, ASan + UBSan) into build-fuzz/, grows a
# working corpus there from the committed seeds, and writes any crash to build-fuzz/artifacts/.
# Add a crash input to the target's corpus once it is fixed, so the normal test run replays it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-1800}"
shift || true
cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --parallel "$(nproc 2>/dev/null || echo 2)"
target="${FUZZ_TARGET:-load}"
case "$target" in
    load) seeds=fuzz/corpus max_len=16384 ;;
    unpack) seeds=fuzz/unpack-corpus max_len=262144 ;;
    frm) seeds=fuzz/frm-corpus max_len=16384 ;;
    dat1) seeds=fuzz/dat1-corpus max_len=16384 ;;
    lzss) seeds=fuzz/lzss-corpus max_len=65536 ;;
    *) echo "unknown FUZZ_TARGET $target (load, unpack, frm, dat1 or lzss)" >&2; exit 2 ;;
esac
work="build-fuzz/work-corpus-$target"
[ "$target" = load ] && work=build-fuzz/work-corpus  # where earlier sessions grew it
mkdir -p "$work" build-fuzz/artifacts
cp -n "$seeds"/* "$work"/
# Every input is written to a file and extracted from; a RAM-backed TMPDIR keeps that quick.
[ -d /dev/shm ] && export TMPDIR="${TMPDIR:-/dev/shm}"
exec "build-fuzz/fuzz/${target}_fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -timeout=10 -max_len="$max_len" -artifact_prefix="build-fuzz/artifacts/$target-" \
    -print_final_stats=1 "$@" "$work"
