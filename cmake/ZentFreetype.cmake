# FreeType, the one text rasteriser of the skin on both systems: Debian's package on Linux;
# for mingw compiled from the same version's Debian source, fetched by scripts/deps.
if(NOT WIN32)
  find_package(Freetype REQUIRED)
  return()
endif()
zent_deps_source(ZENT_FREETYPE_SOURCE_DIR freetype src/base/ftbase.c)
if(NOT TARGET Freetype::Freetype)
  # Static and without the optional codecs: the fonts drawn are plain TrueType/OpenType
  # files, and the program directory stays free of extra DLLs.
  set(BUILD_SHARED_LIBS OFF)
  foreach(codec ZLIB BZIP2 PNG HARFBUZZ BROTLI)
    set(FT_DISABLE_${codec} ON CACHE BOOL "" FORCE)
  endforeach()
  set(SKIP_INSTALL_ALL ON)
  add_subdirectory(${ZENT_FREETYPE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/deps/freetype EXCLUDE_FROM_ALL SYSTEM)
  target_compile_options(freetype PRIVATE -w)
  add_library(Freetype::Freetype ALIAS freetype)
endif()
