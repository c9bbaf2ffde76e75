# Helpers shared by the project's CMake files.

# morvane_add_test_program(<name> SOURCES ... LIBS ...)
# Builds one GoogleTest program and registers it with CTest. Natively each test
# case becomes its own CTest entry; when cross-compiling the whole program is
# one entry, since every entry starts the emulator anew.
function(morvane_add_test_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_SOURCES)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
  else()
    include(GoogleTest)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
