# Tests of the platform's path, profile, module, file and character functions. The
# profile, file, character and file-operation tests also build for Windows, where they
# check the same cases against the real calls under Wine.
set(zent_core_tests profile file gbk fileops)
if(NOT WIN32)
  list(APPEND zent_core_tests path module)
endif()
foreach(name ${zent_core_tests})
  if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/${name}_test.cpp)
    zent_add_test(NAME platform_${name}_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/${name}_test.cpp
                  LIBS zent_platform LABELS unit platform)
  endif()
endforeach()
