# Tests of the platform runtime: threads, the message loop and windows, starting
# programs, sockets, ICMP echo and the process entry.
zent_add_test(NAME platform_message_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/message_test.cpp
              LIBS zent_platform)
if(WIN32)
  return()
endif()
zent_add_test(NAME platform_thread_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/thread_test.cpp
              LIBS zent_platform_test_hooks)
zent_add_test(NAME platform_message_hook_test
              SOURCES ${CMAKE_CURRENT_LIST_DIR}/message_hook_test.cpp LIBS zent_platform)

add_executable(zent_argv_recorder ${CMAKE_CURRENT_LIST_DIR}/argv_recorder.cpp)
set_target_properties(zent_argv_recorder PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZENT_TEST_BIN_DIR})
zent_add_test(NAME platform_process_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/process_test.cpp
              LIBS zent_platform)
add_dependencies(platform_process_test zent_argv_recorder)
target_compile_definitions(platform_process_test PRIVATE
                           ZENT_ARGV_RECORDER="$<TARGET_FILE:zent_argv_recorder>")

zent_add_test(NAME platform_winsock_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/winsock_test.cpp
              LIBS zent_platform)
zent_add_test(NAME platform_icmp_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/icmp_test.cpp
              LIBS zent_platform_test_hooks LABELS integration)

add_executable(zent_entry_echo ${CMAKE_CURRENT_LIST_DIR}/entry_echo.cpp)
target_link_libraries(zent_entry_echo PRIVATE zent_platform_main)
# The tests start it with an environment of its own: it finds the library by its own
# search path, whatever the build's default for the programs of dist/.
set_target_properties(zent_entry_echo PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZENT_TEST_BIN_DIR}
                      BUILD_WITH_INSTALL_RPATH OFF BUILD_RPATH ${ZENT_DIST_DIR})
zent_add_test(NAME platform_entry_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/entry_test.cpp
              LIBS zent_platform)
add_dependencies(platform_entry_test zent_entry_echo)
target_compile_definitions(platform_entry_test PRIVATE
                           ZENT_ENTRY_ECHO="$<TARGET_FILE:zent_entry_echo>")
