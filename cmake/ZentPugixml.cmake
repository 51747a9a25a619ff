# pugixml, the one XML parser of the launcher's reader, the skin and the tool: Debian's
# package on Linux; for mingw compiled from Debian's source, fetched by scripts/deps.
if(NOT WIN32)
  find_package(pugixml REQUIRED)
  return()
endif()
# Debian has no mingw build of the library, so it is built here from the same version's
# source, as a static library, which keeps the program directory free of extra DLLs.
zent_deps_source(ZENT_PUGIXML_SOURCE_DIR pugixml src/pugixml.cpp)
if(NOT TARGET pugixml::pugixml)
  add_library(zent_pugixml STATIC ${ZENT_PUGIXML_SOURCE_DIR}/src/pugixml.cpp)
  # SYSTEM: the library's own headers are not ours to hold to the project's warnings.
  target_include_directories(zent_pugixml SYSTEM PUBLIC ${ZENT_PUGIXML_SOURCE_DIR}/src)
  target_compile_options(zent_pugixml PRIVATE -w)
  add_library(pugixml::pugixml ALIAS zent_pugixml)
endif()
