#!/usr/bin/env bash
# Builds TARVIX and its tests into build/ (installing missing Debian packages first) and runs
# every test, then builds and runs them all again under AddressSanitizer and
# UndefinedBehaviorSanitizer (preset "asan", build-asan/), and the tests that extract on worker
# threads under ThreadSanitizer (preset "tsan", build-tsan/). Exits non-zero when any test fails.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh" "$root/build" -DTARVIX_BUILD_TESTS=ON
export QT_QPA_PLATFORM=offscreen
# The real-window test drives a real X server with xdotool, against the clock of a shared
# machine: it runs on its own afterwards and gets a second try when the first times out.
real_window='^real_window_test$'
ctest --test-dir "$root/build" --output-on-failure --parallel 2 -E "$real_window"
ctest --test-dir "$root/build" --output-on-failure -R "$real_window" --repeat until-pass:2

# The sanitizer run: the preset sets QT_QPA_PLATFORM, ASAN_OPTIONS, UBSAN_OPTIONS (halt on the
# first error) and the leak suppressions of tests/lsan.supp.
(cd "$root" && cmake --preset asan >/dev/null &&
    cmake --build --preset asan --parallel "$(nproc 2>/dev/null || echo 2)" &&
    ctest --preset asan -E "$real_window" &&
    ctest --preset asan -R "$real_window" --repeat until-pass:2)

# Threaded extraction and packing under ThreadSanitizer: only the tests that run them (the
# preset's filter).
(cd "$root" && cmake --preset tsan >/dev/null &&
    cmake --build --preset tsan --parallel "$(nproc 2>/dev/null || echo 2)" &&
    ctest --preset tsan)
