#!/usr/bin/env bash
# Runs a command under a private X server (Xvfb), a private D-Bus session and settings in memory, then
# stops them.
set -u
# -noreset: by default the server resets whenever its last client disconnects, and a test process
# that connects during that reset gets "cannot open the display"; tests start and end side by side.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>/tmp/hashwarden-xvfb.$$ >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do
  [ -s /tmp/hashwarden-xvfb.$$ ] && break
  sleep 0.1
done
display=$(head -n1 /tmp/hashwarden-xvfb.$$)
rm -f /tmp/hashwarden-xvfb.$$
if [ -z "$display" ]; then echo "Xvfb did not start" >&2; kill "$xvfb" 2>/dev/null; exit 1; fi
export DISPLAY=":$display"
# The toolkit's own settings (the file chooser's view, sort order and size) stay in this process tree's
# memory. In the desktop's settings store they would be written into the user's own settings and pass
# between tests running side by side: one test's chooser closing changes what another's opens with.
export GSETTINGS_BACKEND=memory
# The session runs in a process group of its own, so that the helpers it started (the accessibility
# bus and registry, which outlive the bus that launched them) are stopped before the display goes;
# otherwise they report the lost X connection after the command's own last words. They are killed
# outright: asked to stop, the registry may still be winding down when the display goes.
set -m
dbus-run-session -- "$@" &
session=$!
# An interrupt at the terminal reaches this script's group only: pass it on to the session's.
trap 'kill -INT -- -"$session" 2>/dev/null' INT TERM
wait "$session"
status=$?
kill -KILL -- -"$session" 2>/dev/null
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $status
