#!/usr/bin/env bash
# Checks the Debian packages that scripts/package.sh made, without installing
# them: lintian (no error and no warning), the desktop entry, the AppStream
# metainfo and the systemd units.
#   scripts/check-package.sh [DIR]     the folder with the .deb files (default dist/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/dist}"
version="$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)"
arch="$(dpkg --print-architecture)"
debs=("$dir/wyc_${version}_$arch.deb" "$dir/wyc-server_${version}_$arch.deb")

lintian --fail-on error,warning "${debs[@]}"
tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$tree"; done
desktop-file-validate "$tree"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$tree"/usr/share/metainfo/*.metainfo.xml
# The units as installed, but for the program, which is the unpacked one here;
# their manual page is checked once installed (man is not asked here).
mkdir "$tree/units"
for unit in wyc-server.service wyc-server@.service; do
  sed "s|/usr/sbin/wyc-server|$tree/usr/sbin/wyc-server|" "$tree/lib/systemd/system/$unit" \
    >"$tree/units/$unit"
done
systemd-analyze verify --man=no "$tree/units/wyc-server.service" "$tree/units/wyc-server@8601.service"
echo "The packages in $dir pass the checks."
