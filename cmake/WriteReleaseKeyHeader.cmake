# cmake -DPUBFILE=<release.pub or empty> -DOUT=<header> -P WriteReleaseKeyHeader.cmake
#
# Writes a header defining QUILLMORA_RELEASE_PUBLIC_KEY as the base64 text of the
# release public key, or "" when no key file is named (upgrades are then checked
# unsigned). A key file that holds no Ed25519 public key stops the build.
set(key "")
if(PUBFILE)
  if(NOT EXISTS "${PUBFILE}")
    message(FATAL_ERROR "release public key ${PUBFILE} does not exist")
  endif()
  file(READ "${PUBFILE}" key)
  string(STRIP "${key}" key)
  string(LENGTH "${key}" length)
  if(NOT key MATCHES "^[A-Za-z0-9+/]+=$" OR NOT length EQUAL 44)
    message(FATAL_ERROR "${PUBFILE} is not a release public key (quillmora-admin release-keygen makes one)")
  endif()
endif()
set(text "// Generated from ${PUBFILE}; do not edit.\n#pragma once\n#define QUILLMORA_RELEASE_PUBLIC_KEY \"${key}\"\n")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT "${old}" STREQUAL "${text}")
  file(WRITE "${OUT}" "${text}")
endif()
