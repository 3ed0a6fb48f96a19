#!/bin/sh
# Builds the Debian package, checks it with lintian, desktop-file-validate and appstreamcli, unpacks
# it into a temporary root (nothing is installed on the system) and runs the end-to-end test on the
# unpacked program through its link in /usr/bin. A build with the distribution's hardening (every build
# but the sanitizer's) must show it in the packaged program, and no trace of the folder it was built in.
# Usage: package_test.sh BUILD E2E_SCRIPT CLIPBOARD_MANAGER hardened|sanitized SOURCE_DIR
set -eu
build="$1"
e2e="$2"
manager="$3"
flavour="$4"
source_dir="$5"
fail() { echo "package: $*" >&2; exit 1; }

rm -f "$build"/hashwarden_*.deb
# Under a group-writable umask, as many desktops set it: no folder or file of the package may take it.
(umask 002 && cmake --build "$build" --target package >/dev/null) || fail "cpack failed"
arch="$(dpkg --print-architecture)"
deb="$(ls "$build"/hashwarden_*_"$arch".deb)" || fail "no hashwarden_<version>_$arch.deb in $build"
writable="$(dpkg-deb -c "$deb" | awk '$1 !~ /^l/ && (substr($1, 6, 1) == "w" || substr($1, 9, 1) == "w")')"
[ -z "$writable" ] || fail "writable by others than root: $writable"
members="$(ar tv "$deb" | awk '$1 != "rw-r--r--"')"
[ -z "$members" ] || fail "archive members not 0644: $members"

# Errors fail the test; the warnings that remain are explained in docs/building-and-testing.md.
lintian --fail-on error "$deb" || fail "lintian reports errors"

# Run-time dependencies come from dpkg-shlibdeps: every library the program links, most with a
# minimum version.
depends="$(dpkg-deb -f "$deb" Depends)"
for library in libgtk-3-0 libarchive13 libc6 libpng16-16; do
  printf ', %s,\n' "$depends" | grep -Eq ", $library( \(>= [^)]+\))?," || fail "Depends lacks $library: $depends"
done

root="$(mktemp -d /tmp/hw-package-XXXXXX)"
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for f in usr/lib/hashwarden/hashwarden usr/lib/hashwarden/Hashwarden.lang/en_GB.language \
         usr/share/applications/hashwarden.desktop usr/share/metainfo/example.brightmoor.hashwarden.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/hashwarden.svg usr/share/man/man1/hashwarden.1.gz \
         usr/share/doc/hashwarden/copyright usr/share/doc/hashwarden/changelog.gz; do
  [ -f "$root/$f" ] || fail "missing $f"
done
for size in 16 24 32 48 64 128 256; do
  icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/hashwarden.png"
  file "$icon" | grep -q "PNG image data, $size x $size," || fail "icon $size: $(file "$icon")"
done
[ "$(readlink "$root/usr/bin/hashwarden")" = "../lib/hashwarden/hashwarden" ] || fail "bad link in /usr/bin"
if [ "$flavour" = hardened ]; then
  sh "$(dirname "$0")/hardening.sh" "$root/usr/lib/hashwarden/hashwarden" || fail "hardening"
  ! grep -qF "$source_dir" "$root/usr/lib/hashwarden/hashwarden" || fail "the program holds the path $source_dir"
fi

desktop-file-validate "$root/usr/share/applications/hashwarden.desktop" || fail "desktop entry"
grep -qx 'Exec=hashwarden %f' "$root/usr/share/applications/hashwarden.desktop" || fail "Exec line"
grep -qx 'MimeType=application/octet-stream;' "$root/usr/share/applications/hashwarden.desktop" || fail "MimeType"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/example.brightmoor.hashwarden.metainfo.xml" \
  || fail "metainfo"

/usr/bin/python3 "$e2e" "$root/usr/bin/hashwarden" "$manager"
echo "package: OK ($deb)"
