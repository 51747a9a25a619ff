# Tests of the platform's path, profile, module, file and character functions. The
# profile, file, character and file-operation tests also build for Windows, where they
# check the same cases against the real calls under Wine.
set(zent_core_tests profile file gbk fileops directory memory)
if(NOT WIN32)
  list(APPEND zent_core_tests path module debug program_folder message_box)
endif()
foreach(name ${zent_core_tests})
  zent_add_test(NAME platform_${name}_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/${name}_test.cpp
                LIBS zent_platform LABELS unit platform)
endforeach()

if(NOT WIN32)
  # Two copies of a tiny library: one in a folder of its own (loaded by path, by a
  # relative name and from the current directory), one beside the test program (found
  # in the program's folder by its bare name).
  foreach(lib ZentCoreTest ZentCoreBeside)
    add_library(${lib} SHARED ${CMAKE_CURRENT_LIST_DIR}/core_module_lib.cpp)
    target_link_libraries(${lib} PRIVATE zent_platform)
    set_target_properties(${lib} PROPERTIES PREFIX "" SUFFIX ".so")
  endforeach()
  set_target_properties(ZentCoreTest PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${ZENT_TEST_BIN_DIR}/core_modules)
  set_target_properties(ZentCoreBeside PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${ZENT_TEST_BIN_DIR})
  add_library(ZentCoreUnbound SHARED ${CMAKE_CURRENT_LIST_DIR}/core_module_unbound.cpp)
  set_target_properties(ZentCoreUnbound PROPERTIES PREFIX "" SUFFIX ".so"
    LIBRARY_OUTPUT_DIRECTORY ${ZENT_TEST_BIN_DIR}/core_modules)
  add_dependencies(platform_module_test ZentCoreTest ZentCoreBeside ZentCoreUnbound)
  target_compile_definitions(platform_module_test PRIVATE
    ZENT_CORE_MODULE_DIR="${ZENT_TEST_BIN_DIR}/core_modules")

  # A program that reports what the launcher reads at start-up (its own path, a profile
  # beside it, the current directory), run from copies in program folders of the tests.
  add_executable(zent_program_folder_echo ${CMAKE_CURRENT_LIST_DIR}/program_folder_echo.cpp)
  target_link_libraries(zent_program_folder_echo PRIVATE zent_platform)
  set_target_properties(zent_program_folder_echo PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZENT_TEST_BIN_DIR})
  add_dependencies(platform_program_folder_test zent_program_folder_echo)
  target_compile_definitions(platform_program_folder_test PRIVATE
    ZENT_PROGRAM_FOLDER_ECHO="$<TARGET_FILE:zent_program_folder_echo>"
    ZENT_PLATFORM_LIBRARY="$<TARGET_FILE:zent_platform>")
endif()

# Under Wine the character tests and the profile rows beyond ASCII need the GBK code
# page, which a Chinese locale gives.
if(WIN32)
  foreach(name gbk profile)
    set_property(TEST platform_${name}_test APPEND PROPERTY ENVIRONMENT "LC_ALL=zh_CN.UTF-8")
  endforeach()
endif()
