# Tests of the single-instance guard: many copies of a small program ask the guard once,
# and a second start brings the first one's window to the front.
if(WIN32)
  # Through CreateComponent alone, found in CorvFact.dll at run time as the launcher does.
  set(guard_test_libs zent_platform)
else()
  set(guard_test_libs CorvFact zent_platform ${CMAKE_DL_LIBS})
endif()
add_executable(corvio_guard_helper ${CMAKE_CURRENT_SOURCE_DIR}/guard_helper.cpp)
target_link_libraries(corvio_guard_helper PRIVATE ${guard_test_libs})
set_target_properties(corvio_guard_helper PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZENT_TEST_BIN_DIR})
add_dependencies(corvio_guard_helper CorvFact)
foreach(test guard activation)
  zent_add_test(NAME corvio_${test}_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${test}_test.cpp
    LIBS ${guard_test_libs} LABELS integration)
  add_dependencies(corvio_${test}_test corvio_guard_helper)
  if(NOT WIN32)
    target_compile_definitions(corvio_${test}_test PRIVATE
      GUARD_HELPER="$<TARGET_FILE:corvio_guard_helper>")
  endif()
endforeach()
