#!/usr/bin/env bash
# The Debian package: package-test.sh SOURCE_DIR BUILD_DIR WORKDIR
# Builds the .deb from the build folder with tools/package.sh and checks its
# files, its dependencies and lintian's verdict.
set -euo pipefail
source=$1 build=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/viewer-windows.sh"
need_tools dpkg-deb dpkg-shlibdeps lintian

rm -rf "$work"
mkdir -p "$work"
deb=$("$source/tools/package.sh" --build-dir "$build" --output "$work") || fail "tools/package.sh failed"
[ -f "$deb" ] || fail "no package at '$deb'"

dpkg-deb -c "$deb" | awk '{ print $6, $7, $8 }' | sed 's/ *$//' >"$work/contents"
for file in ./usr/lib/tavotavo/tavotavo ./usr/lib/tavotavo/tavotavo-viewer ./usr/lib/tavotavo/ifpng.spi \
            ./usr/lib/tavotavo/ifjpeg.spi ./usr/share/applications/tavotavo.desktop \
            ./usr/share/icons/hicolor/scalable/apps/tavotavo.svg ./usr/share/icons/hicolor/16x16/apps/tavotavo.png \
            ./usr/share/man/man1/tavotavo.1.gz ./usr/share/doc/tavotavo/copyright ./usr/share/doc/tavotavo/changelog.gz; do
  grep -qx -- "$file" "$work/contents" || fail "the package lacks $file"
done
grep -qx -- './usr/bin/tavotavo -> ../lib/tavotavo/tavotavo' "$work/contents" || fail "the command is not a link into the program folder"
grep -q '^./usr/share/metainfo/.*\.metainfo\.xml$' "$work/contents" || fail "the package lacks the metainfo"
# Nothing of the build's tests or benchmarks.
! grep -q 'test\|bench' "$work/contents" || fail "the package holds test files: $(grep 'test\|bench' "$work/contents")"

field() { dpkg-deb -f "$deb" "$1"; }
depends=$(field Depends)
for needed in libqt6widgets6 libjpeg62-turbo libspng0 libc6 qt6-qpa-plugins qt6-translations-l10n xdg-utils; do
  case ", $depends," in *", $needed "* | *", $needed,"*) ;; *) fail "Depends lacks $needed: $depends" ;; esac
done
case "$depends" in *wine*) fail "Wine is a dependency: $depends" ;; esac
case "$(field Suggests)" in *wine*) ;; *) fail "Wine is not suggested" ;; esac
# The programs are stripped, as Debian ships them.
mkdir "$work/unpacked"
dpkg-deb -x "$deb" "$work/unpacked"
! readelf -S "$work/unpacked/usr/lib/tavotavo/tavotavo-viewer" | grep -q '\.debug_info' || fail "the viewer is not stripped"

lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 \
  || { cat "$work/lintian.log" >&2; fail "lintian reports errors"; }
cat "$work/lintian.log"
echo "PASS"
