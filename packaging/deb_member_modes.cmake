# Run by CPack after it writes the .deb: gives the three members of the ar archive (debian-binary,
# control.tar.gz, data.tar.gz) the mode 0644 that dpkg-deb writes. CPack takes the modes of the
# temporary files it made, so they would follow the umask of the build and two builds of the same
# sources would differ.
foreach(deb ${CPACK_PACKAGE_FILES})
  file(SIZE ${deb} size)
  file(READ ${deb} magic LIMIT 8)
  if(NOT magic STREQUAL "!<arch>\n")
    message(FATAL_ERROR "${deb} is not an ar archive")
  endif()
  # Each member: a 60-byte header (mode at byte 40, eight characters; size at byte 48, ten), then
  # its data, padded to an even length.
  set(offset 8)
  while(offset LESS size)
    file(READ ${deb} header OFFSET ${offset} LIMIT 60)
    string(SUBSTRING "${header}" 40 8 mode)
    string(SUBSTRING "${header}" 48 10 member_size)
    string(STRIP "${member_size}" member_size)
    if(NOT member_size MATCHES "^[0-9]+$")
      message(FATAL_ERROR "${deb}: no member header at byte ${offset}")
    endif()
    if(NOT mode STREQUAL "100644  ")
      math(EXPR mode_offset "${offset} + 40")
      execute_process(COMMAND printf "100644  "
                      COMMAND dd of=${deb} bs=1 seek=${mode_offset} count=8 conv=notrunc status=none
                      RESULT_VARIABLE status)
      if(NOT status EQUAL 0)
        message(FATAL_ERROR "${deb}: the mode of the member at byte ${offset} could not be set")
      endif()
    endif()
    math(EXPR offset "${offset} + 60 + ${member_size} + ${member_size} % 2")
  endwhile()
endforeach()
