#!/bin/sh
# The branch protection check passes a program whose objects, compiled or assembled, are all marked BTI
# and PAC, and fails, naming the object, for each way one object can lose the mark: compiled without
# branch protection, with only one half of it, or assembled without the note.
# Usage: branch_protection_test.sh CC BRANCH_PROTECTION_SH
set -eu
cc="$1"
check="$2"
dir="$(mktemp -d /tmp/hw-branch-protection-XXXXXX)"
trap 'rm -rf "$dir"' EXIT
# A function reached through a pointer (it needs a landing pad) that calls another (its return address
# is saved on the stack, so it is signed).
cat >"$dir/main.c" <<'PROBE'
int twice(int);
int (*volatile reached)(int) = twice;
int main(int argc, char **argv) { (void)argv; return reached(argc) == 2 ? 0 : 1; }
PROBE
printf 'int twice(int x) { return x + x; }\n' >"$dir/twice.c"
# The same function in assembly, marked as the compiled code is, from the compiler's feature macros.
cat >"$dir/marked.S" <<'PROBE'
#ifdef __ARM_FEATURE_BTI_DEFAULT
#define BTI 1
#else
#define BTI 0
#endif
#ifdef __ARM_FEATURE_PAC_DEFAULT
#define PAC 2
#else
#define PAC 0
#endif
    .text
    .globl twice
    .type twice, %function
twice:
#if BTI
    hint #34
#endif
    add w0, w0, w0
    ret
    .size twice, .-twice
    .section .note.gnu.property, "a"
    .p2align 3
    .word 4, 16, 5
    .asciz "GNU"
    .word 0xc0000000, 4
    .word BTI | PAC
    .word 0
    .section .note.GNU-stack, "", %progbits
PROBE
# The same kernel without the note.
sed '/\.note\.gnu\.property/,/\.word 0$/d' "$dir/marked.S" >"$dir/unmarked.S"
standard="-O2 -fPIE -mbranch-protection=standard"
"$cc" $standard -c "$dir/main.c" -o "$dir/main.o"
"$cc" $standard -c "$dir/marked.S" -o "$dir/marked.o"
"$cc" $standard -c "$dir/unmarked.S" -o "$dir/unmarked.o"

# check NAME OBJECT...: links them and runs the check on the program and objects.
check() {
  name="$1"
  shift
  "$cc" -pie "$@" -o "$dir/$name" || { echo "linking $* failed" >&2; exit 1; }
  sh "$check" "$cc" "$dir/$name" "$@" >"$dir/$name.log" 2>&1
}

"$cc" $standard -c "$dir/twice.c" -o "$dir/twice.o"
for object in "$dir/twice.o" "$dir/marked.o"; do
  check marked "$dir/main.o" "$object" || { cat "$dir/marked.log"; echo "a marked program fails" >&2; exit 1; }
done

failures=0
# fails OBJECT WHY: the check must fail and name OBJECT, linked with the marked main program.
fails() {
  if check probe "$dir/main.o" "$1"; then
    echo "passed with $1 ($2)" >&2; failures=$((failures + 1))
  elif ! grep -qx " $1" "$dir/probe.log"; then
    cat "$dir/probe.log"; echo "with $1 ($2) it failed without naming it" >&2; failures=$((failures + 1))
  fi
}
for flags in "-mbranch-protection=none" "-mbranch-protection=pac-ret" "-mbranch-protection=bti"; do
  "$cc" -O2 -fPIE $flags -c "$dir/twice.c" -o "$dir/twice.o"
  fails "$dir/twice.o" "$flags"
done
fails "$dir/unmarked.o" "assembly without the note"
[ "$failures" -eq 0 ]
