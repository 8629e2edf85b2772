#!/usr/bin/env bash
# Installs the build into a staging folder and packages it, then checks that
# every file is in its place, that the validators accept the desktop entry,
# the metadata and the package, and that the installed viewer runs.
#   install_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

expected="usr/bin/quirn
usr/share/applications/quirn.desktop
usr/share/doc/quirn/changelog.gz
usr/share/doc/quirn/copyright
usr/share/icons/hicolor/scalable/apps/quirn.svg
usr/share/man/man1/quirn.1.gz
usr/share/metainfo/io.github.quirn.metainfo.xml
usr/share/quirn/formats/archive/gzip.ksy
usr/share/quirn/formats/archive/tar.ksy
usr/share/quirn/formats/archive/zip.ksy
usr/share/quirn/formats/audio/wav.ksy
usr/share/quirn/formats/database/sqlite.ksy
usr/share/quirn/formats/disk/gpt.ksy
usr/share/quirn/formats/disk/mbr.ksy
usr/share/quirn/formats/executable/elf.ksy
usr/share/quirn/formats/filesystem/ext4.ksy
usr/share/quirn/formats/filesystem/fat.ksy
usr/share/quirn/formats/image/bmp.ksy
usr/share/quirn/formats/image/gif.ksy
usr/share/quirn/formats/image/jpeg.ksy
usr/share/quirn/formats/image/png.ksy
usr/share/quirn/formats/network/pcap.ksy"

DESTDIR="$stage/root" cmake --install "$build" --prefix /usr >/dev/null
installed=$(cd "$stage/root" && find . -type f | sed 's|^\./||' | sort)
[ "$installed" = "$expected" ] || fail "installed files differ:"$'\n'"$installed"

[ "$("$stage/root/usr/bin/quirn" --version)" = "quirn $version" ] || fail "installed binary's --version"
desktop-file-validate "$stage/root/usr/share/applications/quirn.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$stage/root/usr/share/metainfo/io.github.quirn.metainfo.xml" >/dev/null ||
  fail "metainfo"
zcat "$stage/root/usr/share/man/man1/quirn.1.gz" | grep -q '^\.SH EXIT STATUS' || fail "man page"

(cd "$build" && cpack -G DEB -B "$stage/package" >/dev/null)
package=$(ls "$stage"/package/quirn_"$version"_*.deb)
packaged=$(dpkg-deb --contents "$package" | awk '{print $6}' | grep -v '/$' | sed 's|^\./||' | sort)
[ "$packaged" = "$expected" ] || fail "package contents differ:"$'\n'"$packaged"
dpkg-deb --field "$package" Depends | grep -q libsdl2 || fail "no computed dependencies"
dpkg-deb --field "$package" Recommends | grep -q mesa-vulkan-drivers || fail "no recommended driver"
lintian --fail-on error "$package" || fail "lintian"
echo "install and package: 1 passed, 0 failed"
