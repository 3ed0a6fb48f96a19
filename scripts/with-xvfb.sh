#!/usr/bin/env bash
# Runs a command under a private X server (Xvfb) and a private D-Bus session, then stops both.
set -u
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>/tmp/hashwarden-xvfb.$$ >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do
  [ -s /tmp/hashwarden-xvfb.$$ ] && break
  sleep 0.1
done
display=$(head -n1 /tmp/hashwarden-xvfb.$$)
rm -f /tmp/hashwarden-xvfb.$$
if [ -z "$display" ]; then echo "Xvfb did not start" >&2; kill "$xvfb" 2>/dev/null; exit 1; fi
export DISPLAY=":$display"
dbus-run-session -- "$@"
status=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $status
