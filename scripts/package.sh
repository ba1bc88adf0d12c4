#!/usr/bin/env bash
# Builds the Debian package of TARVIX (tarvix_<version>_<arch>.deb) in build-pkg/, from a
# release build without tests, and prints its path. Install it with
#     sudo apt-get install ./build-pkg/tarvix_*.deb
# Usage: scripts/package.sh [build-dir]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build-pkg}"

# setup.sh installs what is missing (dpkg-dev and file among it, which CPack's dependency
# computation runs), configures and builds.
"$root/scripts/setup.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DTARVIX_BUILD_TESTS=OFF

rm -f "$build"/tarvix_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/tarvix_*.deb)"
dpkg-deb --info "$deb" | sed -n 's/^ \(Package\|Version\|Architecture\|Depends\):/\1:/p'
echo "$deb"
