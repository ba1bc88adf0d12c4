#!/usr/bin/env bash
# Builds the Debian package of TARVIX (tarvix_<version>_<arch>.deb) in build-pkg/, from a
# release build without tests, checks it with lintian and prints its path. Install it with
#     sudo apt-get install ./build-pkg/tarvix_*.deb
# Usage: scripts/package.sh [build-dir]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build-pkg}"

# setup.sh installs what is missing (dpkg-dev and file among it, which CPack's dependency
# computation runs, and lintian), configures and builds.
"$root/scripts/setup.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DTARVIX_BUILD_TESTS=OFF

rm -f "$build"/tarvix_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/tarvix_*.deb)"
dpkg-deb --info "$deb" | sed -n 's/^ \(Package\|Version\|Architecture\|Depends\):/\1:/p'

# The changelog installed as /usr/share/doc/tarvix/changelog.gz must describe this version;
# lintian does not compare them.
changelog_version="$(dpkg-parsechangelog -l "$root/packaging/debian/changelog" -S Version)"
package_version="$(dpkg-deb --field "$deb" Version)"
if [ "$changelog_version" != "$package_version" ]; then
    echo "packaging/debian/changelog is at $changelog_version, the package at $package_version:" \
         "add a changelog entry" >&2
    exit 1
fi
# Debian's own checks; any error or warning fails the build. Lintian warns when run as root,
# which is how containers often run this.
lintian_args=(--fail-on error --fail-on warning)
if [ "$(id -u)" -eq 0 ]; then
    lintian_args+=(--allow-root)
fi
if ! lintian "${lintian_args[@]}" "$deb"; then
    echo "lintian found problems in $deb" >&2
    exit 1
fi
# The installed archive type and desktop entry, as the desktop sees them: "Open With" offers
# TARVIX for an archive.
unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
if ! "$root/scripts/check_mime.sh" "$unpacked/usr/share/mime/packages/org.example.tarvix.xml" \
        "$unpacked/usr/share/applications/org.example.tarvix.desktop" "$root/samples/demo.dat"; then
    echo "the package's MIME type does not open with TARVIX" >&2
    exit 1
fi
echo "$deb"
