# Cross build for 32-bit ARM boards (armhf) with clang instead of GCC: the same target, Debian's armhf
# libraries and the same emulator as arm32-toolchain.cmake, so the engine is known to build with both
# compilers. Clang links with the GNU cross linker and takes libstdc++ and the start files from Debian's
# armhf GCC, as a program built for the distribution would.
include(${CMAKE_CURRENT_LIST_DIR}/arm32-toolchain.cmake)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
# The kernels in GNU assembly go through clang's integrated assembler.
set(CMAKE_ASM_COMPILER clang)
foreach(lang C CXX ASM)
  set(CMAKE_${lang}_COMPILER_TARGET arm-linux-gnueabihf)
  # Debian's armhf baseline, which its GCC takes by default: ARMv7-A in Thumb-2, VFPv3-D16, hard float.
  set(CMAKE_${lang}_FLAGS_INIT "-march=armv7-a -mthumb -mfpu=vfpv3-d16 -mfloat-abi=hard")
endforeach()
