# Accelerated kernels of the fingerprint engine; each file gets only the instruction-set flags it needs.
# They are built for x86-64 and 32-bit ARM, and only when the compiler takes the flags and the
# intrinsics; elsewhere chooseAcceleratedKernels() keeps the portable set.
target_sources(hw_fingerprint PRIVATE accelerated.cpp cpu_features.cpp)

include(CheckCXXSourceCompiles)

# Hot loops: fully optimised in every build but a debugging one, like the portable kernels.
set(hw_hot "$<$<NOT:$<CONFIG:Debug>>:-O3>")

set(HW_ACCELERATED_X86 OFF)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$" AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CMAKE_REQUIRED_FLAGS "-msse4.1 -mpclmul -msha -mavx2 -mbmi -mbmi2 -mvpclmulqdq -mavx512f -mavx512vl")
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
    sha3/keccak_bmi.cpp
  )
  set_source_files_properties(crc32/crc32_pclmul.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot};-msse4.1;-mpclmul")
  set_source_files_properties(crc32/crc32_vpclmul.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot};-msse4.1;-mpclmul;-mavx2;-mvpclmulqdq")
  set_source_files_properties(sha1/sha1_shani.cpp sha2/sha256_shani.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot};-mssse3;-msse4.1;-msha")
  set_source_files_properties(sha2/sha512_avx2.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot};-mavx2;-mbmi;-mbmi2")
  set_source_files_properties(sha2/sha512_avx512.cpp PROPERTIES COMPILE_OPTIONS
    "${hw_hot};-mavx2;-mbmi;-mbmi2;-mavx512f;-mavx512vl")
  set_source_files_properties(sha3/keccak_bmi.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot};-mbmi;-mbmi2")
  set_source_files_properties(accelerated.cpp PROPERTIES COMPILE_DEFINITIONS HW_ACCELERATED_X86=1)
endif()

# 32-bit ARM (armhf): the baseline stays ARMv7 with VFPv3-D16 and no NEON, so NEON and ARMv8 code
# lives only in the files below, each compiled with its own flags, and runs only when the kernel
# reports what those flags allow (AT_HWCAP, AT_HWCAP2).
set(HW_ACCELERATED_ARM32 OFF)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^arm" AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(CMAKE_REQUIRED_FLAGS "-march=armv8-a+crc -mfpu=crypto-neon-fp-armv8")
  check_cxx_source_compiles([[
    #include <arm_acle.h>
    #include <arm_neon.h>
    int main() {
      uint32x4_t a = vdupq_n_u32(1);
      a = __builtin_arm_crypto_sha1c(a, __builtin_arm_crypto_sha1h(a), a);
      a = vsha256hq_u32(a, a, a);
      poly128_t p = vmull_p64(vgetq_lane_p64(vreinterpretq_p64_u32(a), 0), 3);
      return (int)__crc32w(vgetq_lane_u32(a, 0), 0) + (int)vgetq_lane_u32(vreinterpretq_u32_p128(p), 0);
    }]] HW_ARM32_INTRINSICS_COMPILE)
  unset(CMAKE_REQUIRED_FLAGS)
  if(HW_ARM32_INTRINSICS_COMPILE)
    set(HW_ACCELERATED_ARM32 ON)
  endif()
endif()

if(HW_ACCELERATED_ARM32)
  # Kernels whose instruction order is the point of them are assembly files (each says why).
  enable_language(ASM)
  target_sources(hw_fingerprint PRIVATE
    crc32/crc32_armv8.cpp
    crc32/crc32_neon.cpp
    crc32/crc32_neon.S
    crc32/crc32_pmull.cpp
    sha1/sha1_armv8.S
    sha1/sha1_neon.cpp
    sha1/sha1_neon.S
    sha2/sha256_armv8.S
    sha2/sha256_neon.cpp
    sha2/sha256_neon.S
    sha2/sha512_neon.cpp
    sha2/sha512_neon_rounds.S
    sha3/keccak_neon.cpp
  )
  # The CRC32 instructions alone need no NEON; the floating point stays the baseline's.
  set_source_files_properties(crc32/crc32_armv8.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot};-march=armv8-a+crc;-mfpu=vfpv3-d16")
  # The NEON CRC loop is assembly (its order is the point); its glue needs only the baseline.
  set_source_files_properties(crc32/crc32_neon.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot}")
  set_source_files_properties(crc32/crc32_neon.S PROPERTIES COMPILE_OPTIONS "-mfpu=neon")
  set_source_files_properties(crc32/crc32_pmull.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot};-march=armv8-a+crc;-mfpu=crypto-neon-fp-armv8")
  # The SHA instruction kernels are assembly: the order of their chains is the point.
  set_source_files_properties(sha1/sha1_armv8.S sha2/sha256_armv8.S PROPERTIES COMPILE_OPTIONS
    "-march=armv8-a;-mfpu=crypto-neon-fp-armv8")
  # ARMv7 NEON: the SHA-1 and SHA-256 rounds are assembly; their C++ entry points need no NEON.
  set_source_files_properties(sha1/sha1_neon.cpp sha2/sha256_neon.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot}")
  set_source_files_properties(sha2/sha512_neon.cpp sha3/keccak_neon.cpp PROPERTIES COMPILE_OPTIONS "${hw_hot};-mfpu=neon")
  set_source_files_properties(accelerated.cpp PROPERTIES COMPILE_DEFINITIONS HW_ACCELERATED_ARM32=1)
endif()
