# The launcher's unit tests: zent_launcher_test(NAME SOURCE) builds one test program into
# a program directory of its own, with a Corvio.ini that names a stand-in framework
# library built beside it. The real loader loads that library, and the program links it
# too, to reach the doubles' world.
include_guard(GLOBAL)

# The doubles, compiled once; each program directory gets its own library of them.
add_library(zent_launcher_fakes OBJECT ${PROJECT_SOURCE_DIR}/tests/app/fake_components.cpp)
target_include_directories(zent_launcher_fakes PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zent_launcher_fakes PUBLIC corvio_xml)

add_library(zent_launcher_fixture OBJECT ${PROJECT_SOURCE_DIR}/tests/app/program_dir_fixture.cpp)
target_link_libraries(zent_launcher_fixture PUBLIC zent_launcher ${ZENT_GTEST_LIBS})
target_compile_definitions(zent_launcher_fixture PRIVATE ZENT_STANDIN_DIR="${ZENT_STANDIN_DIR}")

# zent_launcher_program(TARGET): puts an executable into a program directory of its own
# (${ZENT_TEST_BIN_DIR}/launcher/TARGET) with the Corvio.ini, the stand-in library and the
# fixture; tests and the parse benchmark use it.
function(zent_launcher_program target)
  set(dir ${ZENT_TEST_BIN_DIR}/launcher/${target})
  file(MAKE_DIRECTORY ${dir})
  file(WRITE ${dir}/Corvio.ini "[361]\nDLL=LauncherFact.dll\n")
  file(WRITE ${dir}/launcher-test-program-dir "The launcher tests clear this folder.\n")

  set(fact ${target}_LauncherFact)
  add_library(${fact} SHARED $<TARGET_OBJECTS:zent_launcher_fakes>)
  target_link_libraries(${fact} PRIVATE corvio_xml)
  set_target_properties(${fact} PROPERTIES PREFIX "" OUTPUT_NAME LauncherFact
    LIBRARY_OUTPUT_DIRECTORY ${dir} RUNTIME_OUTPUT_DIRECTORY ${dir} ARCHIVE_OUTPUT_DIRECTORY ${dir})
  if(WIN32)
    # The doubles' own functions only: the runtimes linked in statically stay inside.
    target_link_options(${fact} PRIVATE -Wl,--export-all-symbols -Wl,--exclude-libs,ALL)
  endif()

  target_link_libraries(${target} PRIVATE zent_launcher_fixture ${fact} zent_launcher)
  target_compile_definitions(${target} PRIVATE ZENT_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_dependencies(${target} standin_ZentLauncher standin_RudaDever)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${dir})
  if(NOT WIN32)
    # The library beside the program first, then the platform library in dist/.
    set_target_properties(${target} ${fact} PROPERTIES INSTALL_RPATH "$ORIGIN;${ZENT_DIST_DIR}")
  endif()
endfunction()

function(zent_launcher_test name source)
  add_executable(${name} ${source})
  zent_launcher_program(${name})
  target_link_libraries(${name} PRIVATE ${ZENT_GTEST_LIBS})
  if(WIN32)
    zent_add_wine_test(NAME ${name} COMMAND $<TARGET_FILE:${name}> --gtest_color=no LABELS unit)
  else()
    # The cases of one program share its folder: one at a time. No display: a message box
    # writes to standard error only.
    gtest_discover_tests(${name}
      PROPERTIES LABELS unit TIMEOUT 120 RESOURCE_LOCK ${name}
                 ENVIRONMENT "SDL_VIDEODRIVER=offscreen"
      DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
