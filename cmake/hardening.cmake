# The distribution's hardening flags, so that the program users run carries the protections of every
# program the distribution builds itself.
#
# hw_hardening_flags(ARCH SOURCE_DIR COMPILE_OUT LINK_OUT) asks dpkg-buildflags (hardening=+all) for
# the Debian architecture ARCH and keeps only what protects the program or the reproducibility of the
# build, by an allow-list: another distribution's defaults (link-time optimisation, -D_TIME_BITS=64) or
# a user's DEB_*FLAGS_APPEND would otherwise reach the accelerated kernels, whose code generation and
# file offsets the build decides itself; optimisation and debug information stay with CMake's build
# types. Where dpkg-buildflags is missing, or HW_HARDENING_BY_HAND is set, the same set is written out
# by hand. Stack clash protection, on x86-64 control flow protection and on arm64 branch protection
# (return addresses signed, indirect branches landing only on marked instructions) are added where the
# distribution's version leaves them out (Debian 12's dpkg gives none of them). File paths under SOURCE_DIR are recorded relative to it, so two checkouts
# in different folders build the same bytes.
#
# Usable in script mode too (cmake -P), where a test compares the two sources of flags.

# The flags taken from dpkg-buildflags, whole: the stack protector and stack clash protection, control
# flow protection (x86) and branch protection (ARM64), glibc's and libstdc++'s checks, format string
# warnings made errors, the warning about __DATE__ and __TIME__, and the maps that record paths relative
# to the sources. A value that turns a protection off (-fcf-protection=none, -mbranch-protection=none)
# is no protection and stays out.
set(HW_HARDENING_COMPILE_ALLOWED
    "^(-fstack-protector(-strong|-all)?|-fstack-clash-protection|-fcf-protection(=(full|branch|return))?|-mbranch-protection=(standard|bti|pac-ret)[a-z+-]*|-D_FORTIFY_SOURCE=[0-9]|-D_GLIBCXX_ASSERTIONS|-Wformat|-Wformat-security|-Werror=format-security|-Wdate-time|-f(file|debug|macro)-prefix-map=.*)$")
# Linking: read-only relocations, all symbols bound at start, no executable stack.
set(HW_HARDENING_LINK_ALLOWED "^-Wl,-z,(relro|now|noexecstack)$")

function(hw_hardening_flags arch source_dir compile_out link_out)
  find_program(HW_DPKG_BUILDFLAGS dpkg-buildflags)
  if(HW_DPKG_BUILDFLAGS AND NOT HW_HARDENING_BY_HAND)
    set(from_dpkg "")
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
      # dpkg-buildflags maps the folder it runs in to "." (its fixfilepath feature), as in a package build.
      execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_HOST_ARCH=${arch}
                ${HW_DPKG_BUILDFLAGS} --get ${kind}
        WORKING_DIRECTORY ${source_dir}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE status)
      if(NOT status EQUAL 0)
        message(FATAL_ERROR "dpkg-buildflags --get ${kind} for ${arch} failed")
      endif()
      separate_arguments(flags UNIX_COMMAND "${flags}")
      list(APPEND from_dpkg_${kind} ${flags})
    endforeach()
    set(compile ${from_dpkg_CPPFLAGS} ${from_dpkg_CXXFLAGS})
    list(FILTER compile INCLUDE REGEX "${HW_HARDENING_COMPILE_ALLOWED}")
    list(REMOVE_DUPLICATES compile)
    set(link ${from_dpkg_LDFLAGS})
    list(FILTER link INCLUDE REGEX "${HW_HARDENING_LINK_ALLOWED}")
    list(REMOVE_DUPLICATES link)
  else()
    set(compile -Wdate-time -D_FORTIFY_SOURCE=2 "-ffile-prefix-map=${source_dir}=." -fstack-protector-strong
                -Wformat -Werror=format-security)
    set(link -Wl,-z,relro -Wl,-z,now)
  endif()
  if(NOT "-fstack-clash-protection" IN_LIST compile)
    list(APPEND compile -fstack-clash-protection)
  endif()
  if(arch STREQUAL "amd64" AND NOT compile MATCHES "-fcf-protection")
    list(APPEND compile -fcf-protection)
  endif()
  if(arch STREQUAL "arm64" AND NOT compile MATCHES "-mbranch-protection=")
    list(APPEND compile -mbranch-protection=standard)
  endif()
  set(${compile_out} ${compile} PARENT_SCOPE)
  set(${link_out} ${link} PARENT_SCOPE)
endfunction()

# The Debian architecture the build is for: the package's own for a cross build, else this machine's.
function(hw_debian_arch out)
  if(CMAKE_CROSSCOMPILING AND CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
    set(arch ${CPACK_DEBIAN_PACKAGE_ARCHITECTURE})
  else()
    find_program(HW_DPKG dpkg)
    if(HW_DPKG)
      execute_process(COMMAND ${HW_DPKG} --print-architecture OUTPUT_VARIABLE arch
                      OUTPUT_STRIP_TRAILING_WHITESPACE)
    elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
      set(arch amd64)
    else()
      set(arch ${CMAKE_SYSTEM_PROCESSOR})
    endif()
  endif()
  set(${out} ${arch} PARENT_SCOPE)
endfunction()

# Applies the flags to every target of the build, executables linked as PIE. A Debug build takes
# neither _FORTIFY_SOURCE (glibc's checks need the optimiser) nor the path maps (the debugger finds
# the sources by their full paths); a build folder outside the sources is mapped as well. The
# protections are for compiled code: assembly files (.S) take the path maps and, on arm64, the branch
# protection, whose __ARM_FEATURE_BTI_DEFAULT and __ARM_FEATURE_PAC_DEFAULT tell an assembly kernel to
# mark its entry points and its object as the compiled ones are: one unmarked object leaves the whole
# program unprotected. Stack clash
# protection goes only where the compiler has it for the target (clang has none for 32-bit ARM).
macro(hw_apply_hardening)
  hw_debian_arch(hw_arch)
  hw_hardening_flags(${hw_arch} ${CMAKE_SOURCE_DIR} hw_hardening_compile hw_hardening_link)
  include(CheckCXXCompilerFlag)
  # Clang only warns that it ignores the flag.
  set(CMAKE_REQUIRED_FLAGS -Werror)
  check_cxx_compiler_flag(-fstack-clash-protection HW_CXX_STACK_CLASH_PROTECTION)
  unset(CMAKE_REQUIRED_FLAGS)
  if(NOT HW_CXX_STACK_CLASH_PROTECTION)
    list(REMOVE_ITEM hw_hardening_compile -fstack-clash-protection)
  endif()
  list(JOIN hw_hardening_compile " " hw_shown_compile)
  list(JOIN hw_hardening_link " " hw_shown_link)
  message(STATUS "Hardening for ${hw_arch}: ${hw_shown_compile} ${hw_shown_link}")
  foreach(hw_flag IN LISTS hw_hardening_compile)
    if(hw_flag MATCHES "^-D_FORTIFY_SOURCE|^-ffile-prefix-map=")
      set(hw_flag "$<$<NOT:$<CONFIG:Debug>>:${hw_flag}>")
    endif()
    if(NOT hw_flag MATCHES "-prefix-map=|^-mbranch-protection=")
      set(hw_flag "$<$<COMPILE_LANGUAGE:C,CXX>:${hw_flag}>")
    endif()
    add_compile_options("${hw_flag}")
  endforeach()
  add_link_options(${hw_hardening_link})
  cmake_path(IS_PREFIX CMAKE_SOURCE_DIR ${CMAKE_BINARY_DIR} hw_build_inside)
  if(NOT hw_build_inside)
    add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>")
  endif()
  include(CheckPIESupported)
  check_pie_supported()
endmacro()
