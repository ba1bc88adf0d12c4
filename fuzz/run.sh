#!/usr/bin/env bash
# Fuzzes the loading path for a while: fuzz/run.sh [seconds, default 1800] [extra libFuzzer flags]
# Builds the libFuzzer targets (preset "fuzz", clang, ASan + UBSan) into build-fuzz/, grows a
# working corpus there from the committed seeds, and writes any crash to build-fuzz/artifacts/.
# Add a crash input to the seeds once it is fixed, so the normal test run replays it.
# FUZZ_TARGET=frm_fuzzer fuzzes the viewer's FRM decoder instead, from fuzz/frm-corpus/.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-1800}"
shift || true
cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --parallel "$(nproc 2>/dev/null || echo 2)"
target="${FUZZ_TARGET:-load_fuzzer}"
case "$target" in
    load_fuzzer) seeds=fuzz/corpus work=build-fuzz/work-corpus ;;
    frm_fuzzer) seeds=fuzz/frm-corpus work=build-fuzz/work-corpus-frm ;;
    *) echo "unknown FUZZ_TARGET $target (load_fuzzer or frm_fuzzer)" >&2; exit 2 ;;
esac
mkdir -p "$work" build-fuzz/artifacts
cp -n "$seeds"/* "$work"/
# Every input is written to a file and extracted from; a RAM-backed TMPDIR keeps that quick.
[ -d /dev/shm ] && export TMPDIR="${TMPDIR:-/dev/shm}"
exec "build-fuzz/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -max_len=16384 -artifact_prefix=build-fuzz/artifacts/ -print_final_stats=1 "$@" \
    "$work"
