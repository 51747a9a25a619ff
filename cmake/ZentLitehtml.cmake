# litehtml, the notice pane's HTML and CSS engine, compiled from Debian's litehtml source
# (fetched by scripts/deps) into a static library on both systems, so both lay a page out
# alike. Its HTML parser: Debian's libgumbo on Linux; on Windows the gumbo that litehtml's
# source carries, since Debian has no mingw build of it.
zent_deps_source(ZENT_LITEHTML_SOURCE_DIR litehtml src/document.cpp)
if(NOT TARGET litehtml)
  set(BUILD_SHARED_LIBS OFF)
  set(LITEHTML_BUILD_TESTING OFF CACHE BOOL "" FORCE)
  if(WIN32)
    set(EXTERNAL_GUMBO OFF CACHE BOOL "" FORCE)
  else()
    find_path(ZENT_GUMBO_INCLUDE gumbo.h)
    if(NOT ZENT_GUMBO_INCLUDE)
      message(FATAL_ERROR "gumbo.h not found (package libgumbo-dev, run scripts/deps)")
    endif()
    set(EXTERNAL_GUMBO ON CACHE BOOL "" FORCE)
  endif()
  add_subdirectory(${ZENT_LITEHTML_SOURCE_DIR} ${CMAKE_BINARY_DIR}/deps/litehtml EXCLUDE_FROM_ALL SYSTEM)
  # Without debug information: it would treble the framework library a player installs.
  target_compile_options(litehtml PRIVATE -w -g0)
  if(TARGET gumbo)
    target_compile_options(gumbo PRIVATE -w -g0)
  endif()
  if(NOT WIN32)
    # Kept inside the framework library: exported, its two thousand names would all be
    # bound when the launcher loads the library, before the first paint.
    set_target_properties(litehtml PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  endif()
  if(CMAKE_CXX_FLAGS MATCHES "sanitize=[^ ]*undefined")
    # litehtml numbers the names it meets after its own enum's last value (string_id): a
    # design of the library, not a fault the sanitizer should stop our runs for.
    target_compile_options(litehtml PRIVATE -fno-sanitize=enum)
  endif()
endif()
