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

include(${CMAKE_CURRENT_LIST_DIR}/MorvaneLibraryFrame.cmake)

if(WIN32)
  # Windows names the libraries without a prefix: vekexp.dll, TQSysLib.dll,
  # Morvane230_1.dll.
  set(CMAKE_SHARED_LIBRARY_PREFIX "")
endif()

if(MINGW)
  # The programs and libraries share one C++ runtime (libstdc++, libgcc's
  # unwinder, winpthread), so that exceptions and objects cross library
  # boundaries as they do on Linux; its DLLs are put beside them.
  foreach(dll libstdc++-6.dll libgcc_s_dw2-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
      message(FATAL_ERROR "C++ runtime ${dll} of ${CMAKE_CXX_COMPILER} not found")
    endif()
    file(COPY ${path} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  endforeach()
endif()
