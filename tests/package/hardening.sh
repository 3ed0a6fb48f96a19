#!/bin/sh
# Fails unless hardening-check finds every protection of the distribution's hardening in PROGRAM:
# PIE, stack protection, fortified functions, read-only relocations and immediate binding. An
# "unknown" counts as missing. Stack clash protection leaves a trace only in functions with a frame
# over a page, and control flow protection is marked on x86-64 only when every linked object carries
# it (Debian 12's C start files do not), so neither is asked for.
# Usage: hardening.sh PROGRAM
set -eu
program="$1"
command -v hardening-check >/dev/null || { echo "hardening: hardening-check is missing (devscripts)" >&2; exit 1; }
report="$(hardening-check --nocfprotection "$program" 2>&1)" || true
echo "$report"
missing=""
for protection in "Position Independent Executable" "Stack protected" "Fortify Source functions" \
                  "Read-only relocations" "Immediate binding"; do
  printf '%s\n' "$report" | grep -q "^ $protection: yes" || missing="$missing
 $protection"
done
[ -z "$missing" ] || { echo "hardening: $program lacks:$missing" >&2; exit 1; }
