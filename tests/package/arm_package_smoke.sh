#!/bin/sh
# Builds the package of an ARM cross build (armhf or arm64), checks it with lintian, unpacks it into a
# temporary root (nothing is installed on the system), checks its program's hardening (on arm64 also
# the branch protection of every object the build compiled into it) and starts its program under the
# user-mode emulator on the test display (arm_package_smoke.py drives it).
# Usage: arm_package_smoke.sh armhf|arm64 BUILD SMOKE_SCRIPT QEMU CC
set -eu
arch="$1"
build="$2"
smoke="$3"
qemu="$4"
cc="$5"
here="$(dirname "$0")"
case "$arch" in
  armhf) elf='ELF 32-bit LSB .* ARM, EABI5' ;;
  arm64) elf='ELF 64-bit LSB .* ARM aarch64' ;;
  *) echo "no package smoke test for $arch" >&2; exit 2 ;;
esac
rm -f "$build"/hashwarden_*.deb
cmake --build "$build" --target package >/dev/null || { echo "cpack failed" >&2; exit 1; }
deb="$(ls "$build"/hashwarden_*_"$arch".deb)" || { echo "no hashwarden_<version>_$arch.deb in $build" >&2; exit 1; }
[ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || { echo "$deb is not for $arch" >&2; exit 1; }
lintian --fail-on error "$deb" || { echo "lintian reports errors" >&2; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q 'libgtk-3-0 (>=' || { echo "Depends lacks GTK" >&2; exit 1; }
root="$(mktemp -d /tmp/hw-"$arch"-XXXXXX)"
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
program="$root/usr/lib/hashwarden/hashwarden"
file -L "$root/usr/bin/hashwarden" | grep -q "$elf" || { echo "not an $arch program" >&2; exit 1; }
# hardening-check reads an ARM program's symbols and headers; only its stack clash probe, which
# disassembles x86 code, reports "unknown" (hardening.sh does not ask for it).
sh "$here/hardening.sh" "$program" || { echo "hardening" >&2; exit 1; }
if [ "$arch" = arm64 ]; then
  # The objects the program was linked from, as the build (Ninja) knows them.
  objects="$(cd "$build" && ninja -t inputs hashwarden | grep '\.o$' | sed "s|^|$build/|")"
  # shellcheck disable=SC2086 # one object a word; the build's paths hold no spaces
  sh "$here/branch_protection.sh" "$cc" "$program" $objects || { echo "branch protection" >&2; exit 1; }
fi
/usr/bin/python3 "$smoke" "$arch" "$qemu" "$root/usr/bin/hashwarden"
