# quillmora_release_key_header(<target> <release.pub or "">)
#
# Gives <target> the header "releasekey.h" with QUILLMORA_RELEASE_PUBLIC_KEY, the
# release public key an upgrade must be signed with ("" for unsigned checking). The
# header is written during the build, so the key file may itself be made by the build.
function(quillmora_release_key_header target pubfile)
  set(folder "${CMAKE_CURRENT_BINARY_DIR}/${target}_releasekey")
  set(header "${folder}/releasekey.h")
  set(depends "${PROJECT_SOURCE_DIR}/cmake/WriteReleaseKeyHeader.cmake")
  if(pubfile)
    list(APPEND depends "${pubfile}")
  endif()
  add_custom_command(OUTPUT "${header}"
    COMMAND ${CMAKE_COMMAND} "-DPUBFILE=${pubfile}" "-DOUT=${header}"
            -P "${PROJECT_SOURCE_DIR}/cmake/WriteReleaseKeyHeader.cmake"
    DEPENDS ${depends}
    COMMENT "Release key of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE "${header}")
  target_include_directories(${target} PRIVATE "${folder}")
endfunction()
