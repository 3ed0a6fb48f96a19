# Only protections and path maps come from dpkg-buildflags: what a user appends (link-time optimisation,
# 64-bit time on 32-bit ARM, another optimisation level or processor, a protection turned off) changes
# nothing, for this machine's architecture and for the 32-bit and 64-bit ARM cross builds.
# Usage: cmake -DSOURCE_DIR=... -P hardening_allow_list_test.cmake
cmake_minimum_required(VERSION 3.20)
include(${SOURCE_DIR}/cmake/hardening.cmake)
set(appended -flto=auto -ffat-lto-objects -D_TIME_BITS=64 -D_FILE_OFFSET_BITS=64 -O3 -march=native
    -fno-stack-protector -g3 -fcf-protection=none -mbranch-protection=none)
foreach(arch amd64 armhf arm64)
  unset(ENV{DEB_CPPFLAGS_APPEND})
  unset(ENV{DEB_CXXFLAGS_APPEND})
  unset(ENV{DEB_LDFLAGS_APPEND})
  hw_hardening_flags(${arch} ${SOURCE_DIR} plain_compile plain_link)
  list(JOIN appended " " text)
  set(ENV{DEB_CPPFLAGS_APPEND} "-D_TIME_BITS=64 -D_FILE_OFFSET_BITS=64")
  set(ENV{DEB_CXXFLAGS_APPEND} "${text}")
  set(ENV{DEB_LDFLAGS_APPEND} "-flto=auto -Wl,--as-needed -Wl,-O1 -fuse-ld=gold")
  hw_hardening_flags(${arch} ${SOURCE_DIR} appended_compile appended_link)
  # dpkg-buildflags did take the additions: otherwise this test would show nothing.
  execute_process(COMMAND dpkg-buildflags --get CXXFLAGS OUTPUT_VARIABLE raw)
  if(NOT raw MATCHES "-flto=auto")
    message(SEND_ERROR "dpkg-buildflags ignores DEB_CXXFLAGS_APPEND: '${raw}'")
  endif()
  foreach(kind compile link)
    if(NOT plain_${kind} STREQUAL appended_${kind})
      message(SEND_ERROR "${arch} ${kind} flags: '${plain_${kind}}' became '${appended_${kind}}' with the additions")
    endif()
  endforeach()
  foreach(flag -fstack-protector-strong -D_FORTIFY_SOURCE=2 -Werror=format-security)
    if(NOT flag IN_LIST appended_compile)
      message(SEND_ERROR "${arch}: ${flag} is missing from '${appended_compile}'")
    endif()
  endforeach()
endforeach()
