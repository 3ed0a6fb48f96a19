#!/bin/sh
# Builds the armhf package, checks it with lintian, unpacks it into a temporary root (nothing is
# installed on the system), checks its program's hardening and starts its program under the user-mode emulator on the test display
# (armhf_smoke.py drives it).
# Usage: armhf_smoke.sh BUILD SMOKE_SCRIPT QEMU
set -eu
build="$1"
smoke="$2"
qemu="$3"
rm -f "$build"/hashwarden_*.deb
cmake --build "$build" --target package >/dev/null || { echo "cpack failed" >&2; exit 1; }
deb="$(ls "$build"/hashwarden_*_armhf.deb)" || { echo "no hashwarden_<version>_armhf.deb in $build" >&2; exit 1; }
[ "$(dpkg-deb -f "$deb" Architecture)" = armhf ] || { echo "$deb is not for armhf" >&2; exit 1; }
lintian --fail-on error "$deb" || { echo "lintian reports errors" >&2; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q 'libgtk-3-0 (>=' || { echo "Depends lacks GTK" >&2; exit 1; }
root="$(mktemp -d /tmp/hw-armhf-XXXXXX)"
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
file -L "$root/usr/bin/hashwarden" | grep -q 'ELF 32-bit LSB .* ARM, EABI5' || { echo "not an armhf program" >&2; exit 1; }
# hardening-check reads an ARM program's symbols and headers; only its stack clash probe, which
# disassembles x86 code, reports "unknown" (hardening.sh does not ask for it).
sh "$(dirname "$0")/hardening.sh" "$root/usr/lib/hashwarden/hashwarden" || { echo "hardening" >&2; exit 1; }
/usr/bin/python3 "$smoke" "$qemu" "$root/usr/bin/hashwarden"
