# Cross build for 64-bit ARM boards (arm64) with clang instead of GCC: the same target, Debian's arm64
# libraries and the same emulator as arm64-toolchain.cmake, so the engine is known to build with both
# compilers. Clang links with the GNU cross linker and takes libstdc++ and the start files from Debian's
# arm64 GCC, as a program built for the distribution would.
include(${CMAKE_CURRENT_LIST_DIR}/arm64-toolchain.cmake)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
# Any kernel in GNU assembly goes through clang's integrated assembler.
set(CMAKE_ASM_COMPILER clang)
foreach(lang C CXX ASM)
  # Debian's arm64 baseline, as its GCC takes it by default: ARMv8-A.
  set(CMAKE_${lang}_COMPILER_TARGET aarch64-linux-gnu)
endforeach()
