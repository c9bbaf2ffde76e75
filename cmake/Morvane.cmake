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

# morvane_include_root(<target> <folder>)
# Gives <target>, and every target that links it, the include root
# ${PROJECT_BINARY_DIR}/layers/<folder>, which holds one entry: <folder>, a
# link to the source folder. Headers are named through their folder
# ("domain/tq_domain.h"), and a target finds only the folders of the targets
# it links, its own among them: a header of a layer it does not link is not
# found, and the include fails to compile.
function(morvane_include_root target folder)
  set(root ${PROJECT_BINARY_DIR}/layers/${folder})
  if(NOT IS_SYMLINK ${root}/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} RESULT result SYMBOLIC)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "Cannot link ${root}/${folder} to the folder ${folder}: ${result}")
    endif()
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
