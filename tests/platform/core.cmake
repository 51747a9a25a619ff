# Tests of the platform's path, profile, module, file and character functions. The
# profile, file, character and file-operation tests also build for Windows, where they
# check the same cases against the real calls under Wine.
set(zent_core_tests profile file gbk fileops directory memory)
if(NOT WIN32)
  list(APPEND zent_core_tests path module debug)
endif()
foreach(name ${zent_core_tests})
  if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/${name}_test.cpp)
    zent_add_test(NAME platform_${name}_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/${name}_test.cpp
                  LIBS zent_platform LABELS unit platform)
  endif()
endforeach()

if(NOT WIN32 AND TARGET platform_module_test)
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
  add_dependencies(platform_module_test ZentCoreTest ZentCoreBeside)
  target_compile_definitions(platform_module_test PRIVATE
    ZENT_CORE_MODULE_DIR="${ZENT_TEST_BIN_DIR}/core_modules")
endif()

# Under Wine the character tests need the GBK code page, which a Chinese locale gives.
if(WIN32 AND TARGET platform_gbk_test)
  set_property(TEST platform_gbk_test APPEND PROPERTY ENVIRONMENT "LC_ALL=zh_CN.UTF-8")
endif()
