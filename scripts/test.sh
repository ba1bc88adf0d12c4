#!/usr/bin/env bash
# Builds TARVIX and its tests into build/ (installing missing Debian packages first) and runs
# every test. Exits non-zero when any test fails.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh" "$root/build" -DTARVIX_BUILD_TESTS=ON
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$root/build" --output-on-failure --parallel 2
