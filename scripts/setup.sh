#!/usr/bin/env bash
# Shared by run.sh and test.sh: install what is missing, configure, build.
# Usage: scripts/setup.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
shift || true

missing_packages() {
    local pkg
    grep -v -E '^\s*(#|$)' "$root/scripts/packages.txt" | while read -r pkg; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || echo "$pkg"
    done
}

install_packages() {
    local missing
    missing="$(missing_packages | tr '\n' ' ')"
    [ -z "${missing// /}" ] && return 0
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            sudo="sudo"
        else
            echo "Missing Debian packages: $missing" >&2
            echo "Install them as root (apt-get install $missing) and run this again." >&2
            exit 1
        fi
    fi
    echo "Installing: $missing"
    $sudo apt-get update -q
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
}

if command -v dpkg-query >/dev/null 2>&1; then
    install_packages
else
    echo "Not a Debian system: make sure the packages in scripts/packages.txt are installed." >&2
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc 2>/dev/null || echo 2)"
