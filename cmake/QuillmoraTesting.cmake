# quillmora_add_qtest(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>] [TIMEOUT <s>]
#                     [DATASTORE])
#
# One Qt Test executable, registered with CTest and run offscreen with a private
# HOME and test-mode standard paths, so no test touches the developer's settings.
#
# DATASTORE: the test touches the data store, so it runs on both engines: as <name>
# on the embedded data.mdb and as <name>_server on the test run's database server
# (TestWorkspace picks the engine from QUILLMORA_TEST_SERVER; the server is the CTest
# fixture quillmora_test_server, started once before the first such test and stopped
# after the last).
set(QUILLMORA_TEST_SERVER_STATE ${CMAKE_BINARY_DIR}/test-server)

function(quillmora_add_qtest name)
  cmake_parse_arguments(ARG "DATASTORE" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test quillmora_testsupport ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set(environment "QT_QPA_PLATFORM=offscreen;QUILLMORA_BIN_DIR=${CMAKE_BINARY_DIR}/bin;QUILLMORA_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    LABELS "${ARG_LABELS}"
    ENVIRONMENT "${environment}")
  if(ARG_DATASTORE)
    quillmora_on_test_server(${name}_server COMMAND ${name} TIMEOUT ${ARG_TIMEOUT} LABELS ${ARG_LABELS}
      ENVIRONMENT "${environment}")
  endif()
endfunction()

# quillmora_on_test_server(<test> COMMAND <command...> [TIMEOUT <s>] [LABELS <labels...>]
#                          [ENVIRONMENT <list>])
#
# Registers a test that runs with QUILLMORA_TEST_SERVER pointing at the test run's
# database server (and needs the fixture that starts it).
function(quillmora_on_test_server name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "COMMAND;LABELS;ENVIRONMENT" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${ARG_COMMAND})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    LABELS "${ARG_LABELS};server"
    FIXTURES_REQUIRED quillmora_test_server
    ENVIRONMENT "${ARG_ENVIRONMENT};QUILLMORA_TEST_SERVER=${QUILLMORA_TEST_SERVER_STATE}")
endfunction()
