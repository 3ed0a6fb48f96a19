#!/usr/bin/env python3
"""Every object of the engine uses only the instructions its compile flags allow: the x86-64 baseline for
the portable code, and for each accelerated kernel the instruction sets its flags in
fingerprint/accelerated.cmake name (which the engine's CPU gate must then require). A compiler that
emits an instruction of a set not named (GCC 12 emitted AVX512DQ's vextracti64x2 into a kernel built for
AVX-512F and VL alone) would give SIGILL on a processor that passes the gate.
Usage: kernel_gates.py BUILD_DIR SOURCE_DIR"""
import os, re, subprocess, sys

build, source = sys.argv[1], sys.argv[2]
objects_dir = os.path.join(build, "fingerprint", "CMakeFiles", "hw_fingerprint.dir")
cmake = open(os.path.join(source, "fingerprint", "accelerated.cmake")).read()

# Each accelerated file's -m flags.
flags_of = {}
for files, options in re.findall(r'set_source_files_properties\(([^)]*?)\s+PROPERTIES\s+COMPILE_OPTIONS\s+"([^"]*)"', cmake):
    allowed = set(re.findall(r"-m([a-z0-9.]+)", options))
    for name in files.split():
        flags_of[name] = allowed

def mnemonics(*names):
    return set(names)

# What each flag allows beyond the x86-64 baseline, as the mnemonics and registers that need it.
EVEX_REGISTERS = re.compile(r"%zmm|%[xy]mm(1[6-9]|2[0-9]|3[01])\b|%k[0-7]\b")
YMM = re.compile(r"%ymm")
NEEDS = {
    "avx512f": mnemonics("vpternlogd", "vpternlogq", "vprold", "vprolq", "vprord", "vprorq", "vprolvd", "vprolvq",
                         "vprorvd", "vprorvq", "valignd", "valignq", "vmovdqa32", "vmovdqa64", "vmovdqu32",
                         "vmovdqu64", "vpxord", "vpxorq", "vpandd", "vpandq", "vpandnd", "vpandnq", "vpord", "vporq",
                         "vpermt2d", "vpermt2q", "vpermi2d", "vpermi2q", "vpcompressd", "vpcompressq", "vpexpandd",
                         "vpexpandq", "vpsraq", "vpabsq", "vpmaxsq", "vpmaxuq", "vpminsq", "vpminuq", "vpmovqd",
                         "vpmovqw", "vpmovqb", "vpmovdw", "vpmovdb", "vextracti32x4", "vinserti32x4",
                         "vextracti64x4", "vinserti64x4", "vshufi32x4", "vshufi64x2", "kmovw", "kandw", "korw",
                         "kxorw", "knotw", "kortestw", "kshiftlw", "kshiftrw"),
    "avx512dq": mnemonics("vextracti64x2", "vextractf64x2", "vinserti64x2", "vinsertf64x2", "vextracti32x8",
                          "vextractf32x8", "vinserti32x8", "vinsertf32x8", "vbroadcasti64x2", "vbroadcasti32x8",
                          "vbroadcasti32x2", "vpmullq", "vpmovm2d", "vpmovm2q", "vpmovd2m", "vpmovq2m", "kmovb",
                          "kandb", "korb", "kxorb", "knotb", "kortestb", "ktestb", "ktestw", "kshiftlb", "kshiftrb",
                          "kaddb", "kaddw"),
    "avx512bw": mnemonics("vpmovw2m", "vpmovb2m", "vpmovm2b", "vpmovm2w", "vdbpsadbw", "vpermw", "vpermi2w",
                          "vpermt2w", "vpsllvw", "vpsrlvw", "vpsravw", "vpcmpb", "vpcmpub", "vpcmpw", "vpcmpuw",
                          "vpblendmb", "vpblendmw", "vmovdqu8", "vmovdqu16", "vptestmb", "vptestmw", "vpmovwb",
                          "kmovd", "kmovq", "kandd", "kandq", "kord", "korq", "kxord", "kxorq", "kunpckdq",
                          "kunpckwd", "kshiftld", "kshiftlq", "kshiftrd", "kshiftrq"),
    "sha": mnemonics("sha1rnds4", "sha1nexte", "sha1msg1", "sha1msg2", "sha256rnds2", "sha256msg1", "sha256msg2"),
    "pclmul": mnemonics("pclmulqdq", "vpclmulqdq"),
    "bmi": mnemonics("andn", "blsi", "blsr", "blsmsk", "bextr", "tzcnt"),
    "bmi2": mnemonics("rorx", "sarx", "shlx", "shrx", "mulx", "pdep", "pext", "bzhi"),
    "sse4.1": mnemonics("pextrq", "pinsrq", "pextrd", "pinsrd", "pblendw", "pblendvb", "ptest", "pmulld", "pminsd",
                        "pmaxsd", "pminud", "pmaxud", "pcmpeqq", "pmovzxbd", "pmovsxbd", "roundps", "blendps"),
    "ssse3": mnemonics("pshufb", "palignr", "phaddd", "pabsd", "pmaddubsw", "psignb"),
}
IMPLIES = {"avx512vl": {"avx512f"}, "avx512dq": {"avx512f"}, "avx512bw": {"avx512f"}, "avx2": {"avx"},
           "avx512f": {"avx2", "avx"}, "vpclmulqdq": {"pclmul", "avx"}, "avx": {"sse4.1", "ssse3"},
           "sse4.1": {"ssse3"}, "sha": set(), "pclmul": set()}

def closure(flags):
    done, todo = set(), list(flags)
    while todo:
        flag = todo.pop()
        if flag not in done:
            done.add(flag)
            todo.extend(IMPLIES.get(flag, ()))
    return done

def instructions(path):
    out = subprocess.run(["objdump", "-d", "--no-show-raw-insn", path], capture_output=True, text=True, check=True).stdout
    for line in out.splitlines():
        parts = line.split("\t")
        if len(parts) >= 2 and re.match(r"\s*[0-9a-f]+:$", parts[0]):
            text = parts[1].strip()
            yield text.split()[0] if text else "", text

problems, objects = [], 0
for folder, _, names in os.walk(objects_dir):
    for name in names:
        if not name.endswith(".o"):
            continue
        objects += 1
        relative = os.path.relpath(os.path.join(folder, name), objects_dir)[:-len(".o")]
        allowed = closure(flags_of.get(relative, set()))
        for mnemonic, text in instructions(os.path.join(folder, name)):
            why = None
            if EVEX_REGISTERS.search(text) and "avx512f" not in allowed:
                why = "an AVX-512 register"
            elif YMM.search(text) and "avx" not in allowed:
                why = "a 256-bit register"
            else:
                for flag, needing in NEEDS.items():
                    if mnemonic in needing and flag not in allowed:
                        why = "-m" + flag
                        break
            if why:
                problems.append("%s: %s needs %s" % (relative, text, why))

for problem in problems[:40]:
    print(problem)
if objects == 0:
    print("no objects under " + objects_dir)
    sys.exit(1)
print("kernel gates: %d objects, %d instructions outside their flags" % (objects, len(problems)))
sys.exit(1 if problems else 0)
