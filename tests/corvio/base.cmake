# Tests of the framework's base components: factory, XML reader, properties and the
# UI-thread dispatcher. They link the framework library itself.
set(corvio_base_libs CorvFact zent_platform ${CMAKE_DL_LIBS})

zent_add_test(NAME corvio_factory_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/factory_test.cpp
  LIBS ${corvio_base_libs})
zent_add_test(NAME corvio_xml_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/xml_test.cpp
  LIBS ${corvio_base_libs} zent_districts)
zent_add_test(NAME corvio_props_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/props_test.cpp
  LIBS ${corvio_base_libs})
zent_add_test(NAME corvio_ui_dispatcher_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ui_dispatcher_test.cpp LIBS ${corvio_base_libs})
zent_add_test(NAME corvio_first_paint_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/first_paint_test.cpp LIBS ${corvio_base_libs})
