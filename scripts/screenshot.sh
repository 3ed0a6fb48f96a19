#!/usr/bin/env bash
# Takes a screenshot of the main window with the en_GB language under Xvfb: docs/screenshot.png.
# Usage: scripts/screenshot.sh [build folder] [output png]   (defaults: build, docs/screenshot.png)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
out="${2:-$root/docs/screenshot.png}"
[ -x "$build/hashwarden" ] || { echo "no $build/hashwarden: build first" >&2; exit 1; }

if [ -z "${HW_SCREENSHOT_INNER:-}" ]; then
  export HW_SCREENSHOT_INNER=1
  exec "$root/scripts/with-xvfb.sh" "$0" "$build" "$out"
fi

home="$(mktemp -d)"
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$home"' EXIT
mkdir -p "$home/.Brightmoor/Hashwarden"
# A few ticked algorithms, as a user would have them.
printf '\xef\xbb\xbf\n; Hashwarden Preferences\n[Language]\nLanguage = en_GB\n[General]\nCRC32 = 1\nMD5 = 1\nSHA1 = 0\nSHA2224 = 0\nSHA2256 = 1\nSHA2384 = 0\nSHA2512 = 0\nSHA3224 = 0\nSHA3256 = 1\nSHA3384 = 0\nSHA3512 = 0\n' \
  >"$home/.Brightmoor/Hashwarden/Hashwarden.prefs"
HOME="$home" LANG=en_GB.UTF-8 LC_ALL=C.UTF-8 "$build/hashwarden" "$(cd "$build" && pwd)/hashwarden" &
pid=$!
window="$(xdotool search --sync --onlyvisible --name '^Hashwarden v1\.0\.0\.0' | head -n1)"
# Wait until the window has been drawn once: its geometry is known and a frame has passed.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool sync 2>/dev/null || true
sleep 1
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out"
echo "Saved $out (${WIDTH}x${HEIGHT})"
