#!/usr/bin/env bash
# Builds the Debian packages wyc and wyc-server (and their debug symbols):
#   scripts/package.sh [OUTDIR]      the .deb files land in OUTDIR (default dist/)
# The build runs in a copy of the sources under build-deb/, so that the
# checkout stays clean and dpkg-buildpackage's files (it writes beside the
# source folder) stay inside it. Installs what it needs with scripts/setup.sh.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(mkdir -p "${1:-$root/dist}" && cd "${1:-$root/dist}" && pwd)"
"$root/scripts/setup.sh" --package

version="$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)"
work="$root/build-deb"
src="$work/wyc-$version"
rm -rf "$work"
mkdir -p "$src"
# The sources as the checkout has them: tracked and new files, not ignored ones.
if git -C "$root" rev-parse --git-dir >/dev/null 2>&1; then
  (cd "$root" && git ls-files -z --cached --others --exclude-standard |
    tar --null --ignore-failed-read -T - -cf -) | tar -C "$src" -xf -
else
  tar -C "$root" --exclude='./build*' --exclude=./dist -cf - . | tar -C "$src" -xf -
fi

# A compiler cache makes a second package build cheap. debhelper gives the
# build a home folder of its own, so the cache is named by its folder.
extra=""
if command -v ccache >/dev/null; then
  export CCACHE_DIR="${CCACHE_DIR:-$(ccache -k cache_dir)}"
  extra="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
fi
(cd "$src" && WYC_CMAKE_EXTRA="$extra" \
  DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:-parallel=$(nproc)}" dpkg-buildpackage -b -us -uc)

cp "$work"/*.deb "$out"/
echo "Packages in $out:"
ls -1 "$out"/*_"$version"_*.deb
