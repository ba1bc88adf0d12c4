#!/usr/bin/env bash
# Builds TARVIX into build/ (installing missing Debian packages first) and starts it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh" "$root/build"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<'MSG'
TARVIX is built (build/tarvix) but there is no display to show its window on.
Run this from a desktop session, or over SSH with X forwarding (ssh -X), or start a
virtual display first:
    Xvfb :99 & DISPLAY=:99 scripts/run.sh
MSG
    exit 1
fi
exec "$root/build/tarvix"
