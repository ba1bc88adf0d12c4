#!/usr/bin/env bash
# Checks that the desktop learns TARVIX's archive type from the shared-mime-info definition and
# offers TARVIX for it, as it would once the package is installed: both files go into an XDG
# data folder of their own, whose caches are built as the package's triggers build them, and
# xdg-mime (with no desktop environment set, so the freedesktop.org databases alone decide)
# must then give the archive type for ARCHIVE and for the games' own names, no say over a .dat
# file that another type claims, and the desktop entry as the type's default application.
# Usage: scripts/check_mime.sh MIME_XML DESKTOP_ENTRY ARCHIVE
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 MIME_XML DESKTOP_ENTRY ARCHIVE" >&2; exit 2; }
mime_xml="$1" desktop="$2" archive="$3"
type="application/x-fallout-dat"

for tool in update-mime-database update-desktop-database xdg-mime mimetype; do
    command -v "$tool" >/dev/null || { echo "$0: $tool is missing (scripts/packages.txt)" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
share="$work/share"
mkdir -p "$share/mime/packages" "$share/applications" "$work/home" "$work/config" "$work/files"
cp "$mime_xml" "$share/mime/packages/"
cp "$desktop" "$share/applications/"
XDG_DATA_DIRS="$share:/usr/share" update-mime-database "$share/mime"
update-desktop-database "$share/applications"

xdg() {
    env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION -u GNOME_DESKTOP_SESSION_ID \
        XDG_DATA_HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/config" \
        XDG_DATA_DIRS="$share:/usr/share" xdg-mime "$@"
}

failed=0
expect() {  # what, expected, actual
    if [ "$2" != "$3" ]; then
        echo "$0: $1: expected '$2', got '$3'" >&2
        failed=1
    fi
}

expect "the type of $archive" "$type" "$(xdg query filetype "$archive")"
for name in MASTER.DAT critter.dat patch000.dat; do
    cp "$archive" "$work/files/$name"
    expect "the type of $name" "$type" "$(xdg query filetype "$work/files/$name")"
done
# winmail.dat is a mail attachment that shared-mime-info knows by that name.
cp "$archive" "$work/files/winmail.dat"
expect "the type of winmail.dat" "application/vnd.ms-tnef" \
    "$(xdg query filetype "$work/files/winmail.dat")"
expect "the default application of $type" "$(basename "$desktop")" "$(xdg query default "$type")"
exit "$failed"
