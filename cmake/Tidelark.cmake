# Shared build settings and the helpers every module uses.
include_guard(GLOBAL)
enable_testing()

if(WIN32)
  set(TIDELARK_WINDOWS ON)
  # Resource scripts (windres): the language is enabled here, at the top, for every module.
  enable_language(RC)
else()
  set(TIDELARK_WINDOWS OFF)
endif()

# Outputs: the device's program folder (windows) or the native programs and tools.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
set(TIDELARK_TEST_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
set(TIDELARK_SHARED_DATA ${CMAKE_SOURCE_DIR}/../shared/data)

if(TIDELARK_WINDOWS)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_SOURCE_DIR}/tools/wine-run --prefix ${CMAKE_BINARY_DIR}/wineprefix --path ${CMAKE_BINARY_DIR}/bin)
else()
  add_compile_options(-Wall -Wextra -Wno-unused-parameter)
  if(TIDELARK_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
endif()

find_package(ZLIB REQUIRED)
find_package(Threads REQUIRED)

# GoogleTest: the system package natively, the sources built with the cross compiler for windows.
if(NOT TIDELARK_FUZZ)
  if(TIDELARK_WINDOWS)
    if(NOT TARGET gtest)
      set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
      set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
      set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
      add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    endif()
  else()
    find_package(GTest REQUIRED)
  endif()
endif()

if(TIDELARK_BENCH)
  find_package(benchmark REQUIRED)
endif()

# tidelark_test(<name> SOURCES <files...> [LIBS <targets...>] [NATIVE_ONLY] [WINDOWS_ONLY]
#               [LABELS <labels...>] [TIMEOUT <seconds>])
# One executable per test; ctest runs it (under Wine in the windows build).
function(tidelark_test name)
  cmake_parse_arguments(T "NATIVE_ONLY;WINDOWS_ONLY" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(TIDELARK_BENCH OR TIDELARK_FUZZ)
    return()
  endif()
  if(T_NATIVE_ONLY AND TIDELARK_WINDOWS)
    return()
  endif()
  if(T_WINDOWS_ONLY AND NOT TIDELARK_WINDOWS)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gtest Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    TIDELARK_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    TIDELARK_SHARED_DATA="${TIDELARK_SHARED_DATA}"
    TIDELARK_TEST_OUTPUT="${CMAKE_BINARY_DIR}/test-output")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TIDELARK_TEST_OUTPUT_DIRECTORY})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# tidelark_bench(<name> SOURCES <files...> [LIBS <targets...>])
# Built only in the bench preset (Release); tools/bench runs every one.
function(tidelark_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT TIDELARK_BENCH OR TIDELARK_WINDOWS)
    return()
  endif()
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    TIDELARK_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    TIDELARK_SHARED_DATA="${TIDELARK_SHARED_DATA}")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/benchmarks)
endfunction()

# tidelark_fuzz(<name> SOURCES <files...> [LIBS <targets...>] [CORPUS <dir>] [DATA <folder>]
#               [MAX_LEN <bytes>])
# Built only in the fuzz preset; tools/fuzz runs every one on its seed corpus,
# the committed one in CORPUS. DATA names a folder of the shared real-world
# data (feeds, images, opml) that long runs add as seeds, read in place;
# MAX_LEN the largest input a run makes (libFuzzer's -max_len).
function(tidelark_fuzz name)
  cmake_parse_arguments(F "" "CORPUS;DATA;MAX_LEN" "SOURCES;LIBS" ${ARGN})
  if(NOT TIDELARK_FUZZ OR TIDELARK_WINDOWS)
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzzers)
  if(F_DATA)
    set(F_DATA ${TIDELARK_SHARED_DATA}/${F_DATA})
  endif()
  foreach(field CORPUS DATA MAX_LEN)
    if(NOT F_${field})
      set(F_${field} -)
    endif()
  endforeach()
  # One line per target: name, committed corpus, shared data folder, largest input.
  file(APPEND ${CMAKE_BINARY_DIR}/fuzzers.list "${name} ${F_CORPUS} ${F_DATA} ${F_MAX_LEN}\n")
endfunction()

# Libraries compiled for a fuzzer carry the sanitizer and coverage instrumentation too.
if(TIDELARK_FUZZ)
  file(REMOVE ${CMAKE_BINARY_DIR}/fuzzers.list)
  # Undefined behaviour stops a run like a crash, as in the native build.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
