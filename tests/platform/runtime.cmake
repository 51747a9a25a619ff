# Tests of the platform runtime: threads, the message loop and windows, starting
# programs, sockets, ICMP echo and the process entry.
zent_add_test(NAME platform_message_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/message_test.cpp
              LIBS zent_platform)
if(WIN32)
  return()
endif()
zent_add_test(NAME platform_thread_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/thread_test.cpp
              LIBS zent_platform)
zent_add_test(NAME platform_message_hook_test
              SOURCES ${CMAKE_CURRENT_LIST_DIR}/message_hook_test.cpp LIBS zent_platform)
