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

# zent_add_test(NAME n SOURCES s... [LIBS l...] [LABELS l...] [NO_MAIN] [TIMEOUT secs])
# Builds a GoogleTest program outside the program directory and registers it with CTest.
# On Windows builds every test also carries the label "windows" and runs under Wine.
function(zent_add_test)
  cmake_parse_arguments(T "NO_MAIN" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZENT_TEST_BIN_DIR})
  if(T_NO_MAIN)
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} ${ZENT_GTEST_LIBS})
  else()
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} ${ZENT_GTEST_LIBS})
  endif()
  target_compile_definitions(${T_NAME} PRIVATE ZENT_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                               ZENT_DIST_DIR="${ZENT_DIST_DIR}")
  set(labels ${T_LABELS})
  if(NOT labels)
    set(labels unit)
  endif()
  if(WIN32)
    list(APPEND labels windows)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no)
    set_tests_properties(${T_NAME} PROPERTIES
      LABELS "${labels}" TIMEOUT ${T_TIMEOUT}
      ENVIRONMENT "WINEPREFIX=${ZENT_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
  else()
    gtest_discover_tests(${T_NAME}
      PROPERTIES LABELS "${labels}" TIMEOUT ${T_TIMEOUT}
      DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
