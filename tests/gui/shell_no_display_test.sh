#!/bin/sh
# Without a usable display the program says so in one line on standard error and exits non-zero.
# Usage: shell_no_display_test.sh PROGRAM
set -u
home="$(mktemp -d /tmp/hw-nodisplay-XXXXXX)"
trap 'rm -rf "$home"' EXIT
for display in ":9999" ""; do
  err="$(DISPLAY="$display" HOME="$home" "$1" 2>&1 >/dev/null)"
  status=$?
  [ "$status" -ne 0 ] || { echo "exit status 0 with DISPLAY='$display'" >&2; exit 1; }
  [ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] || { echo "expected one line, got: $err" >&2; exit 1; }
  [ "$err" = "hashwarden: cannot open the display" ] || { echo "unexpected message: $err" >&2; exit 1; }
  # Nothing was written: the settings are saved only after a confirmed quit.
  [ ! -e "$home/.Brightmoor/Hashwarden/Hashwarden.prefs" ] || { echo "settings written" >&2; exit 1; }
done
echo "no display: OK"
