# libsodium, the Ed25519 signature of the district list: Debian's package on Linux; for
# mingw compiled from the same version's Debian source, fetched by scripts/deps.
if(WIN32)
  zent_deps_source(ZENT_SODIUM_SOURCE_DIR libsodium src/libsodium/crypto_sign/ed25519/ref10/open.c)
  set(sodium_src ${ZENT_SODIUM_SOURCE_DIR}/src/libsodium)
  if(NOT TARGET zent_sodium)
    # The library's own build is autotools; this target compiles its C sources with the
    # settings its configure script finds for x86_64 mingw, portable code only (no
    # assembly, no SIMD variants). sodium_init() names every primitive's choice of
    # implementation, so the whole library is compiled; the static link keeps what is used.
    file(GLOB_RECURSE sodium_sources ${sodium_src}/*.c)
    set(sodium_version_dir ${CMAKE_BINARY_DIR}/deps/libsodium/include)
    file(STRINGS ${ZENT_SODIUM_SOURCE_DIR}/configure.ac sodium_init_line
         REGEX "^AC_INIT\\(\\[libsodium\\],\\[[0-9.]+\\]")
    string(REGEX REPLACE ".*\\],\\[([0-9.]+)\\].*" "\\1" VERSION "${sodium_init_line}")
    file(STRINGS ${ZENT_SODIUM_SOURCE_DIR}/configure.ac sodium_major REGEX "^SODIUM_LIBRARY_VERSION_MAJOR=")
    file(STRINGS ${ZENT_SODIUM_SOURCE_DIR}/configure.ac sodium_minor REGEX "^SODIUM_LIBRARY_VERSION_MINOR=")
    string(REGEX REPLACE ".*=" "" SODIUM_LIBRARY_VERSION_MAJOR "${sodium_major}")
    string(REGEX REPLACE ".*=" "" SODIUM_LIBRARY_VERSION_MINOR "${sodium_minor}")
    set(SODIUM_LIBRARY_MINIMAL_DEF "")
    configure_file(${sodium_src}/include/sodium/version.h.in
                   ${sodium_version_dir}/sodium/version.h @ONLY)
    # version.h includes "export.h" from its own folder.
    configure_file(${sodium_src}/include/sodium/export.h ${sodium_version_dir}/sodium/export.h COPYONLY)
    add_library(zent_sodium STATIC ${sodium_sources})
    target_include_directories(zent_sodium PRIVATE ${sodium_src}/include/sodium ${sodium_version_dir}/sodium)
    # SYSTEM: the library's own headers are not ours to hold to the project's warnings.
    target_include_directories(zent_sodium SYSTEM PUBLIC ${sodium_version_dir} ${sodium_src}/include)
    target_compile_definitions(zent_sodium PRIVATE CONFIGURED=1 NATIVE_LITTLE_ENDIAN=1 HAVE_TI_MODE=1
                               PUBLIC SODIUM_STATIC=1)
    # Without debug information: it would add about 0.6 MB to each program that signs or
    # checks, for code that is not ours to debug.
    target_compile_options(zent_sodium PRIVATE -w -g0)
    # The system's random source (RtlGenRandom).
    target_link_libraries(zent_sodium PRIVATE advapi32)
    add_library(Sodium::Sodium ALIAS zent_sodium)
  endif()
else()
  # Debian's static archive (position-independent): one shared library less for the loader
  # to find and bind at every start, before the first paint.
  find_path(ZENT_SODIUM_INCLUDE sodium.h)
  find_library(ZENT_SODIUM_ARCHIVE libsodium.a)
  if(NOT ZENT_SODIUM_INCLUDE OR NOT ZENT_SODIUM_ARCHIVE)
    message(FATAL_ERROR "libsodium not found (package libsodium-dev, run scripts/deps)")
  endif()
  if(NOT TARGET Sodium::Sodium)
    add_library(Sodium::Sodium STATIC IMPORTED GLOBAL)
    set_target_properties(Sodium::Sodium PROPERTIES IMPORTED_LOCATION ${ZENT_SODIUM_ARCHIVE}
                          INTERFACE_INCLUDE_DIRECTORIES ${ZENT_SODIUM_INCLUDE})
  endif()
endif()
