# Tests of the skin engine. Those that open windows run SDL's offscreen video driver,
# set by each test program itself.
set(corvio_skin_libs CorvFact zent_platform ${CMAKE_DL_LIBS})
zent_add_test(NAME corvio_skin_format_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/skin_format_test.cpp LIBS ${corvio_skin_libs})
zent_add_test(NAME corvio_skin_dialog_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/skin_dialog_test.cpp LIBS ${corvio_skin_libs} LABELS e2e)
zent_add_test(NAME corvio_skin_events_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/skin_events_test.cpp LIBS ${corvio_skin_libs} SDL2 LABELS e2e)
zent_add_test(NAME corvio_skin_browser_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/skin_browser_test.cpp LIBS ${corvio_skin_libs} LABELS e2e)
zent_add_test(NAME corvio_skin_idle_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/skin_idle_test.cpp LIBS ${corvio_skin_libs} LABELS e2e)
zent_add_test(NAME corvio_skin_drawing_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/skin_drawing_test.cpp LIBS ${corvio_skin_libs})
