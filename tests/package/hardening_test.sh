#!/bin/sh
# The hardening check passes a small program built with the full set of protections and fails, naming
# the right one, for each build that drops one. Built with the build's own C compiler, so the cross
# build shows what hardening-check can read in an ARM program.
# Usage: hardening_test.sh CC HARDENING_SH
set -eu
cc="$1"
check="$2"
dir="$(mktemp -d /tmp/hw-hardening-XXXXXX)"
trap 'rm -rf "$dir"' EXIT
# A stack array (stack protector) filled by a copy whose length is known only at run time
# (__memcpy_chk under _FORTIFY_SOURCE). It is built, never run.
cat >"$dir/probe.c" <<'PROBE'
#include <stdio.h>
#include <string.h>
int main(int argc, char **argv) {
    char copy[64];
    memcpy(copy, argv[argc - 1], strlen(argv[argc - 1]) + 1);
    return puts(copy) < 0;
}
PROBE
full="-O2 -fstack-protector-strong -D_FORTIFY_SOURCE=2 -fPIE -pie -Wl,-z,relro -Wl,-z,now"
"$cc" $full "$dir/probe.c" -o "$dir/full"
sh "$check" "$dir/full" >"$dir/full.log" 2>&1 || { cat "$dir/full.log"; echo "a fully hardened program fails" >&2; exit 1; }

failures=0
# flags added after the full set | the protection that must then be reported missing
while IFS='|' read -r dropped protection; do
  "$cc" $full $dropped "$dir/probe.c" -o "$dir/probe"
  if sh "$check" "$dir/probe" >"$dir/probe.log" 2>&1; then
    echo "passed without $protection ($dropped)" >&2; failures=$((failures + 1))
  elif ! grep -qx " $protection" "$dir/probe.log"; then
    cat "$dir/probe.log"; echo "without $protection ($dropped) it failed for another reason" >&2
    failures=$((failures + 1))
  fi
done <<'CASES'
-no-pie|Position Independent Executable
-fno-stack-protector|Stack protected
-U_FORTIFY_SOURCE|Fortify Source functions
-Wl,-z,norelro|Read-only relocations
-Wl,-z,lazy|Immediate binding
CASES
[ "$failures" -eq 0 ]
