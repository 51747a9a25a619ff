# libFuzzer support for the fuzz preset: a clang check, and one function that builds a
# fuzz target with its run script and its CTest test. Fuzz targets live in a tree of their
# own and link the project's libraries; nothing here is linked into what ships.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "ZENT_BUILD_FUZZ needs clang (the fuzz preset chooses it): libFuzzer "
                      "comes with clang's runtime, the compiler here is ${CMAKE_CXX_COMPILER_ID}")
endif()

include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_LINK_OPTIONS -fsanitize=fuzzer)
check_cxx_source_compiles([[
#include <stddef.h>
#include <stdint.h>
extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }
]] ZENT_LIBFUZZER_LINKS)
unset(CMAKE_REQUIRED_LINK_OPTIONS)
if(NOT ZENT_LIBFUZZER_LINKS)
  message(FATAL_ERROR "a program cannot be linked with -fsanitize=fuzzer: clang's libFuzzer "
                      "runtime is missing (Debian package libclang-rt-14-dev)")
endif()

set(ZENT_FUZZ_BIN_DIR ${CMAKE_BINARY_DIR}/fuzz-bin)
set(ZENT_FUZZ_WORK_DIR ${CMAKE_BINARY_DIR}/fuzz-work)
file(MAKE_DIRECTORY ${ZENT_FUZZ_BIN_DIR} ${ZENT_FUZZ_WORK_DIR})
# Every fuzz target, so that a build preset can build exactly these.
if(NOT TARGET zent_fuzzers)
  add_custom_target(zent_fuzzers)
endif()

# zent_add_fuzzer(NAME n SOURCES s... [LIBS l...] [OPTIONS libFuzzer options...])
# The folder n/ beside the calling CMakeLists.txt holds the seed corpus (n/corpus) and, if
# there is one, a dictionary (n/n.dict). Makes the program fuzz-bin/n_fuzzer, the script
# fuzz-bin/n.run [--fresh] SECONDS [libFuzzer option...] (the seeds, then new inputs for
# SECONDS, new inputs kept in fuzz-work/n unless --fresh) and the test fuzz_n with the
# label "fuzz" (seeds plus 10 s, from scratch).
function(zent_add_fuzzer)
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS;OPTIONS" ${ARGN})
  set(target ${F_NAME}_fuzzer)
  set(seeds ${CMAKE_CURRENT_SOURCE_DIR}/${F_NAME}/corpus)
  if(NOT IS_DIRECTORY ${seeds})
    message(FATAL_ERROR "fuzz target ${F_NAME}: no seed corpus at ${seeds}")
  endif()
  add_executable(${target} ${F_SOURCES})
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZENT_FUZZ_BIN_DIR})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE ${F_LIBS})
  # The code under test is built with -fsanitize=fuzzer-no-link by the preset; only the
  # fuzz programs bring libFuzzer's main().
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  # The checks of the fuzz program itself are no coverage worth steering by, and comparing
  # whole tables under coverage would take most of each run.
  target_compile_options(${target} PRIVATE -fno-sanitize=fuzzer-no-link)
  add_dependencies(zent_fuzzers ${target})

  set(options ${F_OPTIONS})
  set(dict ${CMAKE_CURRENT_SOURCE_DIR}/${F_NAME}/${F_NAME}.dict)
  if(EXISTS ${dict})
    list(APPEND options -dict=${dict})
  endif()
  string(REPLACE ";" " " options "${options}")
  set(script ${ZENT_FUZZ_BIN_DIR}/${F_NAME}.run)
  set(usage "usage: ${F_NAME}.run [--fresh] SECONDS [libFuzzer option...]")
  file(GENERATE OUTPUT ${script}
    CONTENT "#!/bin/sh
# Runs the fuzz target ${F_NAME} (made by cmake/ZentFuzz.cmake). ${usage}
fresh=
if [ \"$1\" = --fresh ]; then fresh=--fresh; shift; fi
if [ $# -lt 1 ]; then echo \"${usage}\" >&2; exit 2; fi
seconds=$1
shift
exec ${CMAKE_CURRENT_SOURCE_DIR}/run-fuzzer $fresh \"$seconds\" $<TARGET_FILE:${target}> ${seeds} ${ZENT_FUZZ_WORK_DIR}/${F_NAME} ${options} \"$@\"
"
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                     WORLD_READ WORLD_EXECUTE)
  # Seeds plus 10 s of new inputs; the time limit leaves room for a slow machine, and
  # libFuzzer's own per-input limit catches a single input that hangs.
  add_test(NAME fuzz_${F_NAME} COMMAND ${script} --fresh 10)
  set_tests_properties(fuzz_${F_NAME} PROPERTIES LABELS fuzz TIMEOUT 120)
endfunction()
