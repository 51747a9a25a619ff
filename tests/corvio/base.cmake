# Tests of the framework's base components: factory, guard, XML reader, properties,
# UI-thread dispatcher and downloader. They link the framework library itself.
set(corvio_base_libs CorvFact zent_platform ${CMAKE_DL_LIBS})

zent_add_test(NAME corvio_factory_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/factory_test.cpp
  LIBS ${corvio_base_libs})
zent_add_test(NAME corvio_xml_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/xml_test.cpp
  LIBS ${corvio_base_libs} zent_districts)
zent_add_test(NAME corvio_props_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/props_test.cpp
  LIBS ${corvio_base_libs})
zent_add_test(NAME corvio_ui_dispatcher_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ui_dispatcher_test.cpp LIBS ${corvio_base_libs})

# The guard test starts many copies of a small program that asks the guard once.
add_executable(corvio_guard_helper ${CMAKE_CURRENT_SOURCE_DIR}/guard_helper.cpp)
target_link_libraries(corvio_guard_helper PRIVATE ${corvio_base_libs})
set_target_properties(corvio_guard_helper PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZENT_TEST_BIN_DIR})
zent_add_test(NAME corvio_guard_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/guard_test.cpp
  LIBS ${corvio_base_libs} LABELS integration)
add_dependencies(corvio_guard_test corvio_guard_helper)
target_compile_definitions(corvio_guard_test PRIVATE
  GUARD_HELPER="$<TARGET_FILE:corvio_guard_helper>")
# A second start (the same helper) brings the first instance's window to the front.
zent_add_test(NAME corvio_activation_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/activation_test.cpp
  LIBS ${corvio_base_libs} LABELS integration)
add_dependencies(corvio_activation_test corvio_guard_helper)
target_compile_definitions(corvio_activation_test PRIVATE
  GUARD_HELPER="$<TARGET_FILE:corvio_guard_helper>")

zent_add_test(NAME corvio_download_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/download_test.cpp
  LIBS ${corvio_base_libs} LABELS integration TIMEOUT 180)
