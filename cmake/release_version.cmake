# Writes OUT, a header defining QZ_RELEASE_VERSION: VERSION when given, else
# what scripts/version.sh says of SOURCE, which alone knows what a version
# means. OUT is rewritten only when the version changes, so a build after a
# commit recompiles what prints the version and nothing else.
#
#   cmake -DSOURCE=DIR -DVERSION=[X.Y.Z...] -DOUT=FILE -P release_version.cmake
if(VERSION STREQUAL "")
  find_program(QZ_BASH bash)
  if(NOT QZ_BASH)
    message(FATAL_ERROR "the build's version comes from scripts/version.sh, which needs bash; "
                        "without it, name the version yourself: -DQZ_RELEASE_VERSION=X.Y.Z-dev")
  endif()
  execute_process(COMMAND ${QZ_BASH} ${SOURCE}/scripts/version.sh ${SOURCE}
    OUTPUT_VARIABLE VERSION OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "scripts/version.sh could not name the build's version (above)")
  endif()
endif()
# It lands in a C string and in file names.
if(NOT VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+([-+][0-9A-Za-z.+-]*)?$")
  message(FATAL_ERROR "'${VERSION}' is no version (X.Y.Z, with -dev and the commit after it for a development build)")
endif()
file(WRITE ${OUT}.new "#pragma once\n// Written by cmake/release_version.cmake at every build.\n#define QZ_RELEASE_VERSION \"${VERSION}\"\n")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.new)
