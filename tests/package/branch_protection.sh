#!/bin/sh
# Fails unless every OBJECT compiled into the arm64 PROGRAM carries branch protection in its GNU
# property note: BTI (indirect branches land only on marked instructions) and PAC (return addresses
# signed). The linker marks the program BTI only when every object it links is marked, the C library's
# and the compiler's start files too. Where the tool chain's start files are marked, the program must
# be; where they are not (Debian 12's), forcing the mark would make the program die at start-up on a
# core that enforces BTI, at the dynamic loader's jump to the unmarked _start: the program then stays
# unmarked, and the check says which start files hold it back. Its own code keeps the landing
# pads and the signed returns, enforced as soon as it is linked with marked start files.
# Usage: branch_protection.sh CC PROGRAM OBJECT...
set -eu
cc="$1"
program="$2"
shift 2
[ "$#" -gt 0 ] || { echo "branch protection: no objects given" >&2; exit 1; }
marked() { readelf -n "$1" 2>/dev/null | grep -q 'AArch64 feature: BTI, PAC$'; }

unmarked=""
for object in "$@"; do
  marked "$object" || unmarked="$unmarked
 $object"
done
[ -z "$unmarked" ] || { echo "branch protection: objects without the BTI and PAC note:$unmarked" >&2; exit 1; }

unmarked_start=""
for start in Scrt1.o crti.o crtbeginS.o crtendS.o crtn.o; do
  path="$("$cc" -print-file-name="$start")"
  marked "$path" || unmarked_start="$unmarked_start $path"
done
if marked "$program"; then
  echo "branch protection: $program and its $# objects are marked BTI and PAC"
elif [ -n "$unmarked_start" ]; then
  echo "branch protection: the $# objects are marked BTI and PAC; the program is not, as these start files are not:$unmarked_start"
else
  echo "branch protection: $program lacks the BTI and PAC note, though every object it links carries it" >&2
  exit 1
fi
