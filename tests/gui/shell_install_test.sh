#!/bin/sh
# Installs the build into a temporary folder, checks the layout, and runs the end-to-end test on
# the installed program through its link in bin.
# Usage: shell_install_test.sh BUILD E2E_SCRIPT CLIPBOARD_MANAGER
set -eu
build="$1"
e2e="$2"
manager="$3"
stage="$(mktemp -d /tmp/hw-install-XXXXXX)"
trap 'rm -rf "$stage"' EXIT
root="$stage"
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
for f in usr/lib/hashwarden/hashwarden usr/lib/hashwarden/Hashwarden.lang/en_GB.language \
         usr/share/applications/hashwarden.desktop usr/share/icons/hicolor/128x128/apps/hashwarden.png; do
  [ -f "$root/$f" ] || { echo "missing $f" >&2; exit 1; }
done
[ "$(readlink "$root/usr/bin/hashwarden")" = "../lib/hashwarden/hashwarden" ] || { echo "bad link" >&2; exit 1; }
grep -q '^Exec=hashwarden' "$root/usr/share/applications/hashwarden.desktop"
/usr/bin/python3 "$e2e" "$root/usr/bin/hashwarden" "$manager"
