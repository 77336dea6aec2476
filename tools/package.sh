#!/usr/bin/env bash
# Builds the Debian package of TavoTavo:
#
#   tools/package.sh [--build-dir DIR] [--output DIR]
#
# Without --build-dir it configures and builds a release of its own in
# build-package/ with Debian's hardening flags. With it, it packages what that
# build folder already holds (the tests do this, to spare a second build).
# The .deb lands in --output (default: the repository's top folder) and its
# path is printed. Depends comes from the libraries the programs and plug-ins
# link (dpkg-shlibdeps), plus what the program starts or loads by name.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="" output="$top"
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build=$(cd "$2" && pwd); shift 2 ;;
    --output) output=$(mkdir -p "$2" && cd "$2" && pwd); shift 2 ;;
    *) echo "usage: $0 [--build-dir DIR] [--output DIR]" >&2; exit 2 ;;
  esac
done
for tool in dpkg-deb dpkg-shlibdeps dpkg-architecture; do
  command -v $tool >/dev/null || { echo "$tool is missing (package dpkg-dev)" >&2; exit 1; }
done
umask 022

if [ -z "$build" ]; then
  build="$top/build-package"
  # Debian's flags: fortified functions, stack protector, read-only relocations.
  eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
  export CFLAGS="$CFLAGS $CPPFLAGS" CXXFLAGS="$CXXFLAGS $CPPFLAGS"
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DTAVO_TESTS=OFF -DTAVO_BENCH=OFF >/dev/null
  cmake --build "$build"
fi

package=tavotavo
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "no project version in $build/CMakeCache.txt" >&2; exit 1; }
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/root"

DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
doc="$root/usr/share/doc/$package"
mkdir -p "$doc"
cp "$top/desktop/copyright" "$doc/copyright"
# A native package: its changelog is changelog.gz, in Debian's format, dated
# by the last commit so that two builds of one source give one changelog.
changed=$(git -C "$top" log -1 --format=%cD 2>/dev/null || date -R)
cat >"$work/changelog" <<EOF
$package ($version) unstable; urgency=medium

  * Release $version.

 -- TavoTavo developers <tavotavo@example.org>  $changed
EOF
gzip -9n <"$work/changelog" >"$doc/changelog.gz"
find "$root/usr/share/man" -type f ! -name '*.gz' -exec gzip -9n {} +

# dpkg-shlibdeps reads the package's name from a control file; only ELF
# objects have shared-library dependencies (a Windows bridge's files have none).
mkdir -p "$work/debian"
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$package" "$package" >"$work/debian/control"
objects=()
while IFS= read -r -d '' file; do
  [ "$(head -c 4 "$file" | od -An -tx1 | tr -d ' \n')" = 7f454c46 ] && objects+=("${file#"$work"/}")
done < <(find "$root" -type f -print0)
# Stripped as Debian's own tools strip: no debug symbols, comments or notes.
for object in "${objects[@]}"; do
  strip --strip-unneeded --remove-section=.comment --remove-section=.note "$work/$object"
done
shlibs=$(cd "$work" && dpkg-shlibdeps -O --warnings=1 "${objects[@]}" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[ -n "$shlibs" ] || { echo "dpkg-shlibdeps found no dependencies" >&2; exit 1; }
# The toolkit's X platform plug-in and its Japanese texts are loaded by name,
# and document tools are opened through xdg-open, so dpkg-shlibdeps cannot see them.
depends="$shlibs, qt6-qpa-plugins, qt6-translations-l10n, xdg-utils"

mkdir -p "$root/DEBIAN"
cat >"$root/DEBIAN/control" <<EOF
Package: $package
Version: $version
Architecture: $arch
Maintainer: TavoTavo developers <tavotavo@example.org>
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $depends
Recommends: fonts-ipafont-gothic
Suggests: wine
Section: graphics
Priority: optional
Homepage: https://tavotavo.example.org/
Description: picture viewer for leafing through a folder
 TavoTavo shows one picture at a time in one window, with a Japanese user
 interface, and steps to the next or previous picture of the folder with one
 key. It fits the width, the whole picture or shows the original size, and
 zooms with a mouse drag.
 .
 JPEG and BMP are decoded by the viewer itself; other formats through Susie
 import plug-ins. Windows plug-ins run under Wine when it is installed.
EOF
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
deb="$output/${package}_${version}_${arch}.deb"
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "$deb"
