# Tests of the skin engine, on Linux and under Wine. On Linux the window tests run SDL's
# offscreen video driver, set by each test program itself; under Wine they get a virtual
# display of their own.
set(corvio_skin_libs CorvFact zent_platform ${CMAKE_DL_LIBS})
set(corvio_skin_tests format dialog events idle drawing scale)
zent_add_test(NAME corvio_skin_format_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/skin_format_test.cpp LIBS ${corvio_skin_libs})
zent_add_test(NAME corvio_skin_dialog_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/skin_dialog_test.cpp LIBS ${corvio_skin_libs} LABELS e2e)
if(WIN32)
  zent_add_test(NAME corvio_skin_events_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/skin_events_test.cpp LIBS ${corvio_skin_libs} LABELS e2e)
else()
  # Its Linux half pushes input into SDL's own queue.
  zent_add_test(NAME corvio_skin_events_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/skin_events_test.cpp LIBS ${corvio_skin_libs} SDL2 LABELS e2e)
  # Starts an Xvfb of its own for the display-loss case; pushes input into SDL's queue.
  zent_add_test(NAME corvio_skin_sdl_backend_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sdl_backend_test.cpp LIBS ${corvio_skin_libs} SDL2 LABELS e2e)
  # The browser pane's test serves pages with the end-to-end tests' server (Linux sockets).
  zent_add_test(NAME corvio_skin_browser_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/skin_browser_test.cpp
            ${PROJECT_SOURCE_DIR}/tests/e2e/loopback_http_server.cpp
    LIBS ${corvio_skin_libs} LABELS e2e)
  list(APPEND corvio_skin_tests browser)
endif()
zent_add_test(NAME corvio_skin_idle_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/skin_idle_test.cpp LIBS ${corvio_skin_libs} LABELS e2e)
if(WIN32)
  # Under Wine every program shares one desktop: another test's windows coming and going
  # send this one activation messages, which the quiet second counts.
  set_tests_properties(corvio_skin_idle_test PROPERTIES RUN_SERIAL ON)
endif()
zent_add_test(NAME corvio_browser_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/browser_test.cpp LIBS ${corvio_skin_libs})
target_include_directories(corvio_browser_test SYSTEM PRIVATE
  $<TARGET_PROPERTY:litehtml,INTERFACE_INCLUDE_DIRECTORIES>)
# Its Linux half pushes input into SDL's own queue.
zent_add_test(NAME corvio_skin_scale_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/skin_scale_test.cpp
  LIBS ${corvio_skin_libs} $<$<NOT:$<BOOL:${WIN32}>>:SDL2> LABELS e2e)
zent_add_test(NAME corvio_skin_drawing_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/skin_drawing_test.cpp LIBS ${corvio_skin_libs})
zent_add_test(NAME corvio_image_cache_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/image_cache_test.cpp LIBS ${corvio_skin_libs})
# Not a test: shows a skin until it is closed (by eye, or timed with an automation script).
add_executable(corvio_skin_show ${CMAKE_CURRENT_SOURCE_DIR}/skin_show.cpp)
target_link_libraries(corvio_skin_show PRIVATE ${corvio_skin_libs})
set_target_properties(corvio_skin_show PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZENT_TEST_BIN_DIR})
# Not a test: the loader's attribute table for tests/assets/check_skin.py.
add_executable(corvio_skin_attributes ${CMAKE_CURRENT_SOURCE_DIR}/skin_attributes.cpp)
target_link_libraries(corvio_skin_attributes PRIVATE ${corvio_skin_libs})
set_target_properties(corvio_skin_attributes PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZENT_TEST_BIN_DIR})
