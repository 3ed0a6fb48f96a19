# Accelerated kernels of the fingerprint engine; each file gets only the instruction-set flags it needs.
# They are built for x86-64, 32-bit and 64-bit ARM, and only when the compiler takes the flags and the
# intrinsics; elsewhere chooseAcceleratedKernels() keeps the portable set.
target_sources(hw_fingerprint PRIVATE accelerated.cpp cpu_features.cpp)

include(CheckCXXSourceCompiles)

# Hot loops: fully optimised in every build but a debugging one, like the portable kernels.
set(hw_hot "$<$<NOT:$<CONFIG:Debug>>:-O3>")

set(HW_ACCELERATED_X86 OFF)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$" AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CMAKE_REQUIRED_FLAGS "-msse4.1 -mpclmul -msha -mavx2 -mbmi -mbmi2 -mvpclmulqdq -mavx512f -mavx512vl -mavx512dq -mavx512bw")
  check_cxx_source_compiles([[
    #include <immintrin.h>
    int main() {
      __m128i a = _mm_setzero_si128();
      a = _mm_clmulepi64_si128(a, a, 0);
      a = _mm_sha256rnds2_epu32(a, a, a);
      a = _mm_sha1rnds4_epu32(a, a, 0);
      __m256i y = _mm256_clmulepi64_epi128(_mm256_setzero_si256(), _mm256_setzero_si256(), 0);
      y = _mm256_ror_epi64(_mm256_add_epi64(y, y), 3);
      return _mm_cvtsi128_si32(a) + _mm256_extract_epi32(y, 0) + (int)_andn_u32(1u, 2u);
    }]] HW_X86_INTRINSICS_COMPILE)
  unset(CMAKE_REQUIRED_FLAGS)
  if(HW_X86_INTRINSICS_COMPILE)
    set(HW_ACCELERATED_X86 ON)
  endif()
endif()

if(HW_ACCELERATED_X86)
  target_sources(hw_fingerprint PRIVATE
    crc32/crc32_pclmul.cpp
    crc32/crc32_vpclmul.cpp
    sha1/sha1_shani.cpp
    sha2/sha256_shani.cpp
    sha2/sha512_avx2.cpp
    sha2/sha512_avx512.cpp
    sha2/sha512_pair_avx512.cpp
    sha3/keccak_bmi.cpp
    sha3/keccak_lanes_avx2.cpp
    sha3/keccak_lanes_avx512.cpp
  )
  set_source_files_properties(crc32/crc32_pclmul.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot};-msse4.1;-mpclmul")
  set_source_files_properties(crc32/crc32_vpclmul.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot};-msse4.1;-mpclmul;-mavx2;-mvpclmulqdq")
  set_source_files_properties(sha1/sha1_shani.cpp sha2/sha256_shani.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot};-mssse3;-msse4.1;-msha")
  set_source_files_properties(sha2/sha512_avx2.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot};-mavx2;-mbmi;-mbmi2")
  set_source_files_properties(sha2/sha512_avx512.cpp PROPERTIES COMPILE_OPTIONS
    "${hw_hot};-mavx2;-mbmi;-mbmi2;-mavx512f;-mavx512vl;-mavx512dq;-mavx512bw")
  set_source_files_properties(sha2/sha512_pair_avx512.cpp PROPERTIES COMPILE_OPTIONS
    "${hw_hot};-mavx2;-mavx512f;-mavx512vl;-mavx512dq;-mavx512bw")
  set_source_files_properties(sha3/keccak_bmi.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot};-mbmi;-mbmi2")
  set_source_files_properties(sha3/keccak_lanes_avx2.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot};-mavx2")
  # GCC emits AVX512DQ instructions (vextracti64x2) into AVX-512 code even without -mavx512dq, so the AVX-512
  # kernels are built for, and gated on, F, VL, DQ and BW together, as every AVX-512 processor has them.
  set_source_files_properties(sha3/keccak_lanes_avx512.cpp PROPERTIES COMPILE_OPTIONS
    "${hw_hot};-mavx2;-mavx512f;-mavx512vl;-mavx512dq;-mavx512bw")
  set_source_files_properties(accelerated.cpp PROPERTIES COMPILE_DEFINITIONS HW_ACCELERATED_X86=1)
endif()

# hw_arm_kernel(NAME FILE NEED [FILE NEED ...]), for the ARM builds below: compiles the kernel's files into
# the engine when the compiler has each file's NEED in that file's language (hw_<need>_flags and the
# program hw_<need>_CXX or hw_<need>_ASM, set by the caller); else leaves all of them out: a C++ entry
# kept without the assembly it calls (or the reverse) would break the link. The files' own flags are set
# below, as for any other source. The kept and dropped names go to hw_arm_kept and hw_arm_dropped.
set(hw_arm_kept "")
set(hw_arm_dropped "")
function(hw_arm_kernel name)
  set(files "")
  set(lacking "")
  set(pairs ${ARGN})
  while(pairs)
    list(POP_FRONT pairs file need)
    if(file MATCHES "\\.S$")
      set(lang ASM)
      set(ext S)
    else()
      set(lang CXX)
      set(ext cpp)
    endif()
    string(TOUPPER "HW_ARM${CMAKE_SIZEOF_VOID_P}_HAS_${need}_${lang}" result)
    if(NOT DEFINED ${result})
      set(dir ${CMAKE_BINARY_DIR}/CMakeFiles/hw_arm_checks/${need}_${lang})
      # An empty program would pass for any need: a kernel whose need has no program here is a mistake.
      if(NOT DEFINED hw_${need}_${lang})
        message(FATAL_ERROR "no ${lang} check program for the ${hw_arm_label} need '${need}' (${file})")
      endif()
      file(WRITE ${dir}/check.${ext} "${hw_${need}_${lang}}\n")
      set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
      try_compile(ok ${dir}/build SOURCES ${dir}/check.${ext} COMPILE_DEFINITIONS ${hw_${need}_flags}
                  OUTPUT_VARIABLE log)
      message(CHECK_START "${hw_arm_label} ${need} for ${lang}")
      if(ok)
        message(CHECK_PASS "yes")
      else()
        message(CHECK_FAIL "no")
        file(WRITE ${dir}/check.log "${log}")
      endif()
      set(${result} ${ok} CACHE INTERNAL "whether the compiler builds ${hw_arm_label} ${need} code in ${lang}")
    endif()
    if(NOT ${result})
      list(APPEND lacking "${need} in ${lang}")
    endif()
    list(APPEND files ${file})
  endwhile()
  if(lacking)
    list(JOIN lacking ", " lacks)
    set(hw_arm_dropped ${hw_arm_dropped} "${name} (no ${lacks})" PARENT_SCOPE)
    return()
  endif()
  target_sources(hw_fingerprint PRIVATE ${files})
  string(TOUPPER ${name} macro)
  set_property(SOURCE accelerated.cpp APPEND PROPERTY COMPILE_DEFINITIONS HW_KERNEL_${macro}=1)
  set(hw_arm_kept ${hw_arm_kept} ${name} PARENT_SCOPE)
endfunction()

# What the ARM build kept, and a warning for what it left out.
function(hw_arm_report)
  list(JOIN hw_arm_kept ", " kept)
  message(STATUS "${hw_arm_label} kernels built: ${kept}")
  if(hw_arm_dropped)
    list(JOIN hw_arm_dropped ", " dropped)
    message(WARNING "${hw_arm_label} kernels left out, the compiler lacks what they need: ${dropped}")
  endif()
endfunction()

# 32-bit ARM (armhf): the baseline stays ARMv7 with VFPv3-D16 and no NEON, so NEON and ARMv8 code
# lives only in the files below, each compiled with its own flags, and runs only when the kernel
# reports what those flags allow (AT_HWCAP, AT_HWCAP2).
#
# What each kind of kernel needs is checked on its own, with the ACLE intrinsics for a C++ kernel and
# the instructions themselves for an assembly one (.S, through the compiler's assembler: GNU as, or
# clang's integrated one), so that a compiler that lacks one of them (clang has no 32-bit vmull_p64)
# drops only the kernels that need it. accelerated.cpp learns which kernels were kept from
# HW_KERNEL_<NAME> definitions; the build prints them (hw_arm_kernel above).
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^arm" AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(hw_arm_label "32-bit ARM")
  # Flags of each need, and a program that uses it: C++ (CXX) and GNU assembly (ASM).
  set(hw_neon_flags -mfpu=neon)
  set(hw_neon_CXX [[
    #include <arm_neon.h>
    uint64x2_t rotate(uint64x2_t a) { return vsriq_n_u64(vshlq_n_u64(a, 1), a, 63); }
    void lanes() { __asm__ volatile("vsri.64 d25, d24, #63\n\tvext.8 d26, d25, d25, #3" ::: "d24", "d25", "d26"); }
  ]])
  set(hw_neon_ASM [[
    .syntax unified
    .fpu neon
    .text
    vld1.8 {d0-d3}, [r0]!
    vsri.64 d0, d1, #63
    vext.8 q0, q1, q1, #3
    vrev32.8 q0, q1
  ]])
  set(hw_crc32_flags -march=armv8-a+crc -mfpu=vfpv3-d16)
  set(hw_crc32_CXX [[
    #include <arm_acle.h>
    uint32_t crc(uint32_t c, uint32_t w, uint8_t b) { return __crc32b(__crc32w(c, w), b); }
  ]])
  set(hw_crc32_ASM [[
    .syntax unified
    .text
    crc32w r0, r0, r1
    crc32b r0, r0, r2
  ]])
  set(hw_sha1_flags -march=armv8-a+crc -mfpu=crypto-neon-fp-armv8)
  set(hw_sha1_ASM [[
    .syntax unified
    .fpu crypto-neon-fp-armv8
    .text
    sha1h.32 q2, q0
    sha1c.32 q0, q2, q3
    sha1p.32 q0, q2, q3
    sha1m.32 q0, q2, q3
    sha1su0.32 q4, q5, q6
    sha1su1.32 q4, q7
  ]])
  set(hw_sha2_flags -march=armv8-a+crc -mfpu=crypto-neon-fp-armv8)
  set(hw_sha2_ASM [[
    .syntax unified
    .fpu crypto-neon-fp-armv8
    .text
    sha256h.32 q0, q1, q2
    sha256h2.32 q1, q3, q2
    sha256su0.32 q4, q5
    sha256su1.32 q4, q6, q7
  ]])
  # Polynomial multiplication of 64-bit halves; the kernel finishes with the CRC32 instructions.
  set(hw_pmull_flags -march=armv8-a+crc -mfpu=crypto-neon-fp-armv8)
  set(hw_pmull_ASM [[
    .syntax unified
    .fpu crypto-neon-fp-armv8
    .text
    vmull.p64 q0, d2, d3
    crc32w r0, r0, r1
  ]])

  # Kernels whose instruction order is the point of them are assembly files (each says why); their
  # C++ entry points beside them need nothing past the baseline.
  enable_language(ASM)
  hw_arm_kernel(crc32_armv8 crc32/crc32_armv8.cpp crc32)
  hw_arm_kernel(crc32_pmull crc32/crc32_pmull.cpp crc32 crc32/crc32_pmull.S pmull)
  hw_arm_kernel(crc32_neon crc32/crc32_neon.cpp neon crc32/crc32_neon.S neon)
  hw_arm_kernel(sha1_armv8 sha1/sha1_armv8.S sha1)
  hw_arm_kernel(sha1_neon sha1/sha1_neon.cpp neon sha1/sha1_neon.S neon)
  hw_arm_kernel(sha256_armv8 sha2/sha256_armv8.S sha2)
  hw_arm_kernel(sha256_neon sha2/sha256_neon.cpp neon sha2/sha256_neon.S neon)
  hw_arm_kernel(sha512_neon sha2/sha512_neon.cpp neon sha2/sha512_neon_rounds.S neon)
  hw_arm_kernel(keccak_neon sha3/keccak_neon.cpp neon)
  # The lanes kernel's entry hands the blocks one state has past the other to the single-state kernel,
  # which needs NEON in C++: both are kept or dropped together.
  hw_arm_kernel(keccak_lanes_neon sha3/keccak_lanes_neon.cpp neon sha3/keccak_lanes_neon.S neon)
  hw_arm_report()

  # The CRC32 instructions alone need no NEON; the floating point stays the baseline's.
  set_source_files_properties(crc32/crc32_armv8.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot};-march=armv8-a+crc;-mfpu=vfpv3-d16")
  # The PMULL kernel's C++ entry only calls the folding in assembly and the CRC32 kernel.
  set_source_files_properties(crc32/crc32_pmull.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot}")
  set_source_files_properties(crc32/crc32_pmull.S PROPERTIES COMPILE_OPTIONS "-march=armv8-a+crc;-mfpu=crypto-neon-fp-armv8")
  set_source_files_properties(crc32/crc32_neon.cpp sha1/sha1_neon.cpp sha2/sha256_neon.cpp PROPERTIES
    COMPILE_OPTIONS "${hw_hot}")
  set_source_files_properties(crc32/crc32_neon.S PROPERTIES COMPILE_OPTIONS "-mfpu=neon")
  set_source_files_properties(sha1/sha1_armv8.S sha2/sha256_armv8.S PROPERTIES COMPILE_OPTIONS
    "-march=armv8-a;-mfpu=crypto-neon-fp-armv8")
  set_source_files_properties(sha2/sha512_neon.cpp sha3/keccak_neon.cpp PROPERTIES
    COMPILE_OPTIONS "${hw_hot};-mfpu=neon")
  set_source_files_properties(sha3/keccak_lanes_neon.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot}")
endif()

# 64-bit ARM (arm64): the baseline is ARMv8.0-A with Advanced SIMD; the CRC32, PMULL, SHA-1 and SHA-256
# instructions are optional from ARMv8.0 and the SHA-512 and SHA-3 ones from ARMv8.2, so each kernel is a
# file of its own with only its extension's flags, reached only when AT_HWCAP reports it. The kernels are
# C++ with the ACLE intrinsics where the compiler's order was measured as fast as a hand-written one on
# LLVM's Cortex-A57 and Cortex-A55 models, and assembly where it was slower (docs/arm-boards.md).
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64|ARM64)$" AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(hw_arm_label "64-bit ARM")
  set(hw_a64crc_flags -march=armv8-a+crc)
  set(hw_a64crc_CXX [[
    #include <arm_acle.h>
    #include <cstdint>
    uint32_t crc(uint32_t c, uint64_t d, uint8_t b) { return __crc32b(__crc32d(c, d), b); }
  ]])
  set(hw_a64pmull_flags -march=armv8-a+crc+crypto)
  set(hw_a64pmull_CXX [[
    #include <arm_acle.h>
    #include <arm_neon.h>
    uint64x2_t fold(poly64x2_t a, poly64x2_t k) {
      return veorq_u64(vreinterpretq_u64_p128(vmull_p64(vgetq_lane_p64(a, 0), vgetq_lane_p64(k, 0))),
                       vreinterpretq_u64_p128(vmull_high_p64(a, k)));
    }
    uint32_t crc(uint32_t c, uint64_t d) { return __crc32d(c, d); }
  ]])
  set(hw_a64sha2_flags -march=armv8-a+crypto)
  set(hw_a64sha2_CXX [[
    #include <arm_neon.h>
    uint32x4_t sha1(uint32x4_t a, uint32_t e, uint32x4_t w) {
      return vsha1su1q_u32(vsha1cq_u32(a, vsha1h_u32(e), w), vsha1su0q_u32(w, a, w));
    }
    uint32x4_t sha256(uint32x4_t a, uint32x4_t b, uint32x4_t w) {
      return vsha256su1q_u32(vsha256hq_u32(a, b, w), vsha256h2q_u32(b, a, w), vsha256su0q_u32(w, a));
    }
  ]])
  set(hw_a64sha2_ASM [[
    .arch armv8-a+crypto
    .text
    hint #34
    sha1h s3, s0
    sha1c q0, s2, v5.4s
    sha1su0 v16.4s, v17.4s, v18.4s
    sha1su1 v16.4s, v19.4s
    sha256h q0, q1, v3.4s
    sha256h2 q1, q2, v3.4s
    sha256su0 v16.4s, v17.4s
    sha256su1 v16.4s, v17.4s, v18.4s
    .pushsection .note.gnu.property, "a"
    .long 4
    .popsection
  ]])
  set(hw_a64sha3_flags -march=armv8.2-a+sha3)
  set(hw_a64sha3_CXX [[
    #include <arm_neon.h>
    uint64x2_t sha512(uint64x2_t a, uint64x2_t b, uint64x2_t c) {
      return vsha512su1q_u64(vsha512hq_u64(a, b, c), vsha512h2q_u64(a, b, c), vsha512su0q_u64(a, b));
    }
    uint64x2_t keccak(uint64x2_t a, uint64x2_t b, uint64x2_t c) {
      return vbcaxq_u64(veor3q_u64(a, b, c), vrax1q_u64(a, b), vxarq_u64(a, c, 7));
    }
  ]])
  set(hw_a64neon_flags "")
  set(hw_a64neon_CXX [[
    #include <arm_neon.h>
    uint64x2_t rotate(uint64x2_t a) { return vsriq_n_u64(vshlq_n_u64(a, 1), a, 63); }
  ]])

  hw_arm_kernel(crc32_armv8_a64 crc32/crc32_armv8_a64.cpp a64crc)
  # The PMULL kernel hands its tail to the CRC32 kernel; its check program needs the CRC32 instructions
  # too, so it is never kept without that kernel.
  hw_arm_kernel(crc32_pmull_a64 crc32/crc32_pmull_a64.cpp a64pmull)
  # SHA-1 and SHA-256 are assembly (each file says why); the rest are C++ with the ACLE intrinsics.
  enable_language(ASM)
  hw_arm_kernel(sha1_armv8_a64 sha1/sha1_armv8_a64.S a64sha2)
  hw_arm_kernel(sha256_armv8_a64 sha2/sha256_armv8_a64.S a64sha2)
  hw_arm_kernel(sha512_sha512_a64 sha2/sha512_sha512_a64.cpp a64sha3)
  hw_arm_kernel(keccak_sha3_a64 sha3/keccak_sha3_a64.cpp a64sha3)
  hw_arm_kernel(keccak_lanes_neon_a64 sha3/keccak_lanes_neon_a64.cpp a64neon)
  hw_arm_report()

  set_source_files_properties(crc32/crc32_armv8_a64.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot};-march=armv8-a+crc")
  # Scheduled for the A57: GCC's generic order of the folding loop left two multiplies waiting a step on
  # LLVM's A57 model (0.158 cycles a byte against 0.135) and its A55's (0.430 against 0.399).
  set_source_files_properties(crc32/crc32_pmull_a64.cpp PROPERTIES COMPILE_OPTIONS
    "${hw_hot};-march=armv8-a+crc+crypto;-mtune=cortex-a57")
  set_source_files_properties(sha1/sha1_armv8_a64.S sha2/sha256_armv8_a64.S PROPERTIES
    COMPILE_OPTIONS "-march=armv8-a+crypto")
  set_source_files_properties(sha2/sha512_sha512_a64.cpp sha3/keccak_sha3_a64.cpp PROPERTIES
    COMPILE_OPTIONS "${hw_hot};-march=armv8.2-a+sha3")
  set_source_files_properties(sha3/keccak_lanes_neon_a64.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot}")
endif()
