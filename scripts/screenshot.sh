#!/usr/bin/env bash
# Takes docs/screenshot.png: the main window with the en_GB language after a real verification of a
# downloaded file in an ordinary home folder (six algorithms ticked, the SHA2 - 256 row green). With
# --list-line, docs/screenshot-list-line.png instead: the same verification with the line that
# sha256sum writes pasted whole, so the SHA2 - 256 row is red with the orange "!" mark, and the
# pointer rests on that mark so that its tooltip says why. With --list, docs/screenshot-list.png: the
# publisher's SHA256SUMS of five images loaded with the second Browse button (the downloaded image's
# line, the fourth, goes into the field), verified, and the pointer on the field's funnel, whose tooltip
# offers to keep only the checksum.
# Usage: scripts/screenshot.sh [--list-line | --list] [build folder] [output png]   (defaults: build, and
# the picture's file in docs/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ "${1:-}" = "--list-line" ] || [ "${1:-}" = "--list" ]; then
  export HW_SCREENSHOT_PICTURE=${1#--}
  shift
fi
picture="${HW_SCREENSHOT_PICTURE:-verified}"
default_out="$root/docs/screenshot.png"
[ "$picture" = verified ] || default_out="$root/docs/screenshot-$picture.png"
build="$(cd "${1:-$root/build}" && pwd)"
out="$(realpath -m "${2:-$default_out}")"
[ -x "$build/hashwarden" ] || { echo "no $build/hashwarden: build first" >&2; exit 1; }

case "${HW_SCREENSHOT_STAGE:-}" in
"")  # A private X server and D-Bus session.
  HW_SCREENSHOT_STAGE=display exec "$root/scripts/with-xvfb.sh" "$0" "$build" "$out" ;;
display)  # As root, a private /home (a fresh tmpfs seen by this process only) gives the picture
  # the path /home/alex/...; otherwise the home folder lies in a temporary folder.
  if [ "$(id -u)" -eq 0 ] && unshare -m true 2>/dev/null; then
    HW_SCREENSHOT_STAGE=private-home exec unshare -m "$0" "$build" "$out"
  fi
  base="$(mktemp -d)"
  trap 'rm -rf "$base"' EXIT
  home="$base/home/alex" ;;
private-home)
  mount -t tmpfs tmpfs /home
  home=/home/alex ;;
esac

mkdir -p "$home/Downloads" "$home/.Brightmoor/Hashwarden"
file="$home/Downloads/debian-12.8.0-amd64-netinst.iso"
# A small stand-in for the image, the same bytes every time: 2 MiB of a SHA-256 chain.
/usr/bin/python3 -c '
import hashlib, sys
block = b"".join(hashlib.sha256(i.to_bytes(4, "big")).digest() for i in range(65536))
sys.stdout.buffer.write(block)' >"$file"
expected="$(sha256sum "$file" | cut -d' ' -f1)"
# The whole line as sha256sum writes it in the folder of the download: "<digest>  <name>".
[ "$picture" = list-line ] && expected="$(cd "$(dirname "$file")" && sha256sum "$(basename "$file")")"
# The list a publisher ships beside five images; the downloaded one is the fourth.
if [ "$picture" = list ]; then
  expected="$home/Downloads/SHA256SUMS"
  for name in debian-12.8.0-amd64-DVD-1.iso debian-12.8.0-amd64-DVD-2.iso debian-12.8.0-amd64-DVD-3.iso \
              "$(basename "$file")" debian-edu-12.8.0-amd64-netinst.iso; do
    if [ "$name" = "$(basename "$file")" ]; then
      (cd "$(dirname "$file")" && sha256sum "$name")
    else
      printf '%s  %s\n' "$(printf '%s' "$name" | sha256sum | cut -d' ' -f1)" "$name"
    fi
  done >"$expected"
fi
printf '\xef\xbb\xbf\n; Hashwarden Preferences\n[Language]\nLanguage = en_GB\n[General]\nCRC32 = 1\nMD5 = 1\nSHA1 = 1\nSHA2224 = 0\nSHA2256 = 1\nSHA2384 = 0\nSHA2512 = 1\nSHA3224 = 0\nSHA3256 = 1\nSHA3384 = 0\nSHA3512 = 0\n' \
  >"$home/.Brightmoor/Hashwarden/Hashwarden.prefs"

cd "$home"
HOME="$home" LANG=en_GB.UTF-8 LC_ALL=C.UTF-8 GTK_A11Y=atspi NO_AT_BRIDGE=0 "$build/hashwarden" "$file" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; [ -z "${base:-}" ] || rm -rf "$base"' EXIT

# Paste the published checksum, press Verify and answer the end message, as a user would.
/usr/bin/python3 - "$pid" "$expected" "$picture" <<'PY'
import subprocess, sys, time
import pyatspi

pid, expected, picture = int(sys.argv[1]), sys.argv[2], sys.argv[3]

def wait_for(what, probe, seconds=60):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        found = probe()
        if found:
            return found
        time.sleep(0.05)
    sys.exit("screenshot: timed out waiting for " + what)

def descendants(node):
    for child in node:
        if child is not None:
            yield child
            yield from descendants(child)

def app():
    return next((a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.get_process_id() == pid), None)

def message():
    return next((f for f in program if f is not None and f.name == "Message"
                 and f.getState().contains(pyatspi.STATE_SHOWING)), None)

program = wait_for("the program", app)
window = wait_for("the main window", lambda: next(
    (f for f in program if f is not None and f.name.startswith("Hashwarden v1.0.0.0")), None))
nodes = list(descendants(window))
entries = [n for n in nodes if n.getRoleName() == "text"]
expected_entry = max(entries, key=lambda n: n.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).y)
if picture == "list":
    # The second Browse button, and the path typed into the file chooser's location field.
    browse = next(n for n in nodes if n.getRoleName() == "push button" and n.name == "Browse for a checksum file")
    browse.queryAction().doAction(0)
    chooser = wait_for("the file chooser", lambda: next(
        (f for f in program if f is not None and f.getRoleName() == "file chooser"
         and f.getState().contains(pyatspi.STATE_SHOWING)), None))
    subprocess.run(["xdotool", "key", "--delay", "100", "ctrl+l"], check=True)
    subprocess.run(["xdotool", "type", "--delay", "20", expected], check=True)
    subprocess.run(["xdotool", "key", "Return"], check=True)
    wait_for("the file chooser to close", lambda: not chooser.getState().contains(pyatspi.STATE_SHOWING))
    wait_for("the list's line in the field",
             lambda: expected_entry.queryText().getText(0, -1).endswith("debian-12.8.0-amd64-netinst.iso"))
else:
    expected_entry.queryEditableText().setTextContents(expected)
verify = next(n for n in nodes if n.getRoleName() == "push button" and n.name == "Verify")
wait_for("Verify to be usable", lambda: verify.getState().contains(pyatspi.STATE_SENSITIVE))
verify.queryAction().doAction(0)
dialog = wait_for("the end message", message)
next(n for n in descendants(dialog) if n.getRoleName() == "push button").queryAction().doAction(0)
wait_for("the end message to close", lambda: message() is None)
if picture == "verified":
    sys.exit(0)

def xdotool(*args):
    return subprocess.run(["xdotool", *args], check=True, capture_output=True, text=True).stdout

def extents(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height

# The mark's tooltip opens centred below the pointer and is kept on the screen: with the window against
# the screen's right edge, the tooltip of a mark at the row's right end stays inside the window.
screen_width = int(xdotool("getdisplaygeometry").split()[0])
window_id = xdotool("search", "--sync", "--onlyvisible", "--name", r"^Hashwarden v1\.0\.0\.0").split()[0]
left = screen_width - extents(window)[2]
xdotool("windowmove", window_id, str(left), "0")
wait_for("the window to move", lambda: extents(window)[:2] == (left, 0))

row = next(n for n in nodes if n.getRoleName() == "text" and n.name == "SHA2 - 256")
words = row.description
if not words.startswith("Does not match the expected checksum.\nThis is a line of a checksum list"):
    sys.exit("screenshot: the SHA2 - 256 row does not explain a checksum-list line: " + repr(words))
# The pointer goes to the row's mark, or to the field's funnel at the end of the expected checksum.
x, y, width, height = extents(expected_entry if picture == "list" else row)

# The tooltip is a window of its own with the program's name as its title; the toolkit does not offer
# it to screen readers (they read the same words as the row's description), so it is looked for on
# the display.
def tooltip():
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^hashwarden$"],
                           capture_output=True, text=True).stdout.split()
    return found[0] if found else None

if tooltip() is not None:
    sys.exit("screenshot: a tooltip is open before the pointer reaches the mark")
# The mark and the funnel are the entries' end icons: a 16-pixel image inside the entry's right padding.
xdotool("mousemove", str(x + width // 2), str(y + height // 2))
xdotool("mousemove", str(x + width - 12), str(y + height // 2))
tip = dict(line.split("=", 1) for line in
           xdotool("getwindowgeometry", "--shell", wait_for("the mark's tooltip", tooltip, seconds=10)).split())
tip_x, tip_y, tip_width, tip_height = (int(tip[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
win_x, win_y, win_width, win_height = extents(window)
if tip_x < win_x or tip_y < win_y or tip_x + tip_width > win_x + win_width or tip_y + tip_height > win_y + win_height:
    sys.exit("screenshot: the tooltip lies outside the window")
print("Tooltip: " + words.replace("\n", " | "))
PY

window="$(xdotool search --sync --onlyvisible --name '^Hashwarden v1\.0\.0\.0' | head -n1)"
eval "$(xdotool getwindowgeometry --shell "$window")"
# The closed message leaves an exposed area behind; give the main window a moment to repaint it.
sleep 0.5
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out"
echo "Saved $out (${WIDTH}x${HEIGHT})"
