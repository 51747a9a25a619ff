# Small build helpers shared by the subsystem folders.

# zent_dist_files(DEST subdir FILES f...): copies data files into the program directory
# at build time, so dist/ is always a complete, runnable program directory.
function(zent_dist_files)
  cmake_parse_arguments(D "" "DEST;TARGET" "FILES" ${ARGN})
  set(outs)
  foreach(f ${D_FILES})
    get_filename_component(name ${f} NAME)
    set(out ${ZENT_DIST_DIR}/${D_DEST}/${name})
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${ZENT_DIST_DIR}/${D_DEST}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${f} ${out}
      DEPENDS ${f} VERBATIM)
    list(APPEND outs ${out})
  endforeach()
  add_custom_target(${D_TARGET} ALL DEPENDS ${outs})
endfunction()

# zent_deps_source(VAR dir probe): VAR, a cache path, names the unpacked Debian source that
# scripts/deps fetches into build/deps/<dir>. Configuring stops, saying what to run, when
# the file `probe` below it is missing.
function(zent_deps_source var dir probe)
  set(${var} ${PROJECT_SOURCE_DIR}/build/deps/${dir} CACHE PATH
      "Unpacked ${dir} source (scripts/deps puts it there)")
  if(NOT EXISTS ${${var}}/${probe})
    message(FATAL_ERROR
      "${dir} source missing: ${${var}}/${probe} not found. "
      "Run scripts/deps (it fetches Debian's ${dir} source into build/deps/${dir}), "
      "then configure again.")
  endif()
endfunction()
