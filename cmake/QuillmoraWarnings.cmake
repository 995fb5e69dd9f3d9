# quillmora_warnings_as_errors(<directory>...)
#
# Every C++ target defined in the given source directories (not in their
# subdirectories) fails to build on a compiler warning. The program's own sources are
# kept free of warnings so that a new one stands out instead of scrolling past in a
# long build log. Tests and benchmarks keep warnings as warnings: they compile with
# -Wall -Wextra too, but a warning in a test must not stop a shop's build.
#
# QUILLMORA_WARNINGS_AS_ERRORS=OFF turns this off, for a newer compiler whose new
# warnings have not been looked at yet, and for the sanitizer build: the compiler's
# instrumentation changes what its optimiser sees, so it can raise flow warnings
# (-Wmaybe-uninitialized, -Wstringop-overflow) that the ordinary build does not, and
# that run is there to find faults while the tests run, not to judge warnings.
option(QUILLMORA_WARNINGS_AS_ERRORS "Compile the program's sources with -Werror" ON)

function(quillmora_warnings_as_errors)
  if(NOT QUILLMORA_WARNINGS_AS_ERRORS)
    return()
  endif()
  foreach(directory IN LISTS ARGN)
    get_property(targets DIRECTORY "${directory}" PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
        target_compile_options(${target} PRIVATE -Werror)
      endif()
    endforeach()
  endforeach()
endfunction()
