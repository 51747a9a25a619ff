# The doubles and the per-test program directory shared by the launcher's unit tests,
# and zent_launcher_test(NAME SOURCE), which registers one such test program.
include_guard(GLOBAL)

add_library(zent_launcher_testkit OBJECT
  ${PROJECT_SOURCE_DIR}/tests/app/fake_components.cpp
  ${PROJECT_SOURCE_DIR}/tests/app/program_dir_fixture.cpp)
target_link_libraries(zent_launcher_testkit PUBLIC zent_launcher ${ZENT_GTEST_LIBS})
target_include_directories(zent_launcher_testkit PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_definitions(zent_launcher_testkit PRIVATE ZENT_DIST_DIR="${ZENT_DIST_DIR}")

function(zent_launcher_test name source)
  zent_add_test(NAME ${name} SOURCES ${source} LIBS zent_launcher_testkit zent_launcher LABELS unit)
  add_dependencies(${name} standin_ZentLauncher standin_RudaDever)
endfunction()
