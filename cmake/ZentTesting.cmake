# Test support: GoogleTest (Debian's package natively, built from Debian's sources for
# mingw), and one function that every test folder uses to register its programs.
if(WIN32)
  if(NOT TARGET gtest)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
  set(ZENT_GTEST_LIBS gtest gtest_main)
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
  set(ZENT_GTEST_LIBS GTest::gtest GTest::gtest_main)
endif()

set(ZENT_TEST_BIN_DIR ${CMAKE_BINARY_DIR}/tests-bin)
file(MAKE_DIRECTORY ${ZENT_TEST_BIN_DIR})
set(ZENT_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)

# Wine takes the ANSI code page from the C library's locale: the launcher's home is a
# Chinese system (code page 936), so the Windows tests run in a zh_CN locale, generated
# here into the build folder (the system's locales are left as they are).
if(WIN32)
  set(ZENT_LOCALE_DIR ${CMAKE_BINARY_DIR}/locale)
  if(NOT EXISTS ${ZENT_LOCALE_DIR}/zh_CN.UTF-8/LC_CTYPE)
    file(MAKE_DIRECTORY ${ZENT_LOCALE_DIR})
    execute_process(COMMAND localedef -i zh_CN -f UTF-8 ${ZENT_LOCALE_DIR}/zh_CN.UTF-8
                    RESULT_VARIABLE made OUTPUT_QUIET ERROR_VARIABLE why)
    if(NOT EXISTS ${ZENT_LOCALE_DIR}/zh_CN.UTF-8/LC_CTYPE)
      message(FATAL_ERROR "cannot make the zh_CN.UTF-8 locale for the Wine tests "
                          "(package locales, run scripts/deps): ${why}")
    endif()
  endif()
  set(ZENT_WINE_ENV "WINEPREFIX=${ZENT_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=;LOCPATH=${ZENT_LOCALE_DIR};LC_ALL=zh_CN.UTF-8;WINEPATH=${ZENT_DIST_DIR}")
endif()

# A test's time limit: the one given, else two minutes.
macro(zent_test_timeout var)
  if(NOT ${var})
    set(${var} 120)
  endif()
endmacro()

# zent_add_test(NAME n SOURCES s... [LIBS l...] [LABELS l...] [TIMEOUT secs])
# Builds a GoogleTest program outside the program directory and registers it with CTest.
# On Windows builds every test also carries the label "windows" and runs under Wine.
function(zent_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  zent_test_timeout(T_TIMEOUT)
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZENT_TEST_BIN_DIR})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} ${ZENT_GTEST_LIBS})
  target_compile_definitions(${T_NAME} PRIVATE ZENT_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                               ZENT_DIST_DIR="${ZENT_DIST_DIR}"
                                               ZENT_STANDIN_DIR="${ZENT_STANDIN_DIR}")
  set(labels ${T_LABELS})
  if(NOT labels)
    set(labels unit)
  endif()
  if(WIN32)
    zent_add_wine_test(NAME ${T_NAME} COMMAND $<TARGET_FILE:${T_NAME}> --gtest_color=no
                       LABELS ${labels} TIMEOUT ${T_TIMEOUT})
  else()
    # Cases are named after their program, as the Windows tests are: -R selects by area.
    # The skin's image cache goes to the build tree, never to the user's own cache folder.
    gtest_discover_tests(${T_NAME} TEST_PREFIX "${T_NAME}."
      PROPERTIES LABELS "${labels}" TIMEOUT ${T_TIMEOUT}
                 ENVIRONMENT "XDG_CACHE_HOME=${CMAKE_BINARY_DIR}/test-cache"
      DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

# zent_add_wine_test(NAME n COMMAND program args... [LABELS l...] [TIMEOUT secs]
#                    [ENVIRONMENT VAR=value...] [NATIVE])
# A test under Wine with a virtual display of its own: COMMAND is a Windows program, run
# with wine; with NATIVE, a Linux program that starts Windows programs itself. It passes
# only on GoogleTest's own line for one test or more passed and none failed: a program
# that ran nothing, or ended early with code 0, does not count.
function(zent_add_wine_test)
  cmake_parse_arguments(W "NATIVE" "NAME;TIMEOUT" "COMMAND;LABELS;ENVIRONMENT" ${ARGN})
  zent_test_timeout(W_TIMEOUT)
  set(runner ${PROJECT_SOURCE_DIR}/scripts/with-display)
  if(NOT W_NATIVE)
    list(APPEND runner wine)
  endif()
  add_test(NAME ${W_NAME} COMMAND ${runner} ${W_COMMAND})
  list(APPEND W_LABELS windows)
  set_tests_properties(${W_NAME} PROPERTIES
    LABELS "${W_LABELS}" TIMEOUT ${W_TIMEOUT}
    PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [1-9][0-9]* tests?\\."
    FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]"
    ENVIRONMENT "${ZENT_WINE_ENV};${W_ENVIRONMENT}")
endfunction()
