# orvane_add_test(<program>
#   SOURCES <file>...             the test program's sources
#   [LIBRARIES <target>...]       linked privately, beside orvane_test_support
#   [DEFINITIONS <NAME=value>...] compile definitions
#   [DEPENDS <target>...]         programs and libraries it runs or loads
#   [MAIN gtest|qt|none]          gtest's own main (default), the shared Qt
#                                 main (tests/support/QtMain.cpp), or the
#                                 program's own
#   [LOCK <name>]                 a shared resource its cases take in turn
#   [LABEL <label>])
#
# Each test program is built into a folder of its own, test-bin/<program>,
# so that the error log it keeps beside itself (and clears through the fake
# machine) is its alone: programs run side by side under `ctest -j`. The
# cases of one program that read or clear that log still share the file, so
# they take a lock of that program's own (LOCK <program>_log).
function(orvane_add_test programma)
  cmake_parse_arguments(PARSE_ARGV 1 _t "" "MAIN;LOCK;LABEL"
    "SOURCES;LIBRARIES;DEFINITIONS;DEPENDS")
  if(NOT _t_MAIN)
    set(_t_MAIN gtest)
  endif()
  set(_cartella "${CMAKE_BINARY_DIR}/test-bin/${programma}")
  # A build folder made before the programs had folders of their own holds
  # the program itself under that name, which would stop the link.
  if(EXISTS "${_cartella}" AND NOT IS_DIRECTORY "${_cartella}")
    file(REMOVE "${_cartella}")
  endif()
  add_executable(${programma} ${_t_SOURCES})
  set_target_properties(${programma} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${_cartella}")
  target_link_libraries(${programma} PRIVATE orvane_test_support ${_t_LIBRARIES})
  if(_t_MAIN STREQUAL "gtest")
    target_link_libraries(${programma} PRIVATE GTest::gtest_main)
  elseif(_t_MAIN STREQUAL "qt")
    target_link_libraries(${programma} PRIVATE orvane_test_main_qt)
  endif()
  if(_t_DEFINITIONS)
    target_compile_definitions(${programma} PRIVATE ${_t_DEFINITIONS})
  endif()
  if(_t_DEPENDS)
    add_dependencies(${programma} ${_t_DEPENDS})
  endif()
  # One lock and one label at most: gtest_discover_tests hands property
  # values on as plain words, so a list would split into other properties.
  set(_proprieta "")
  if(_t_LOCK)
    list(APPEND _proprieta RESOURCE_LOCK ${_t_LOCK})
  endif()
  if(_t_LABEL)
    list(APPEND _proprieta LABELS ${_t_LABEL})
  endif()
  gtest_discover_tests(${programma} DISCOVERY_TIMEOUT 60 PROPERTIES ${_proprieta})
endfunction()

# A helper program or library that a test program runs or loads, built into
# that program's folder, so whatever it logs beside itself stays there too.
function(orvane_test_helper bersaglio programma)
  set_target_properties(${bersaglio} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/test-bin/${programma}"
    LIBRARY_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/test-bin/${programma}")
  add_dependencies(${programma} ${bersaglio})
endfunction()
