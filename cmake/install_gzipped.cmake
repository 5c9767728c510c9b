# tavro_install_gzipped(FILE DESTINATION): installs FILE as DESTINATION/<name>.gz, made
# with gzip -9n when the project is built (best compression, no name or time stamp, so
# the same file always gives the same bytes), as Debian wants manual pages and changelogs.
function(tavro_install_gzipped file destination)
  get_filename_component(name "${file}" NAME)
  set(copy "${CMAKE_CURRENT_BINARY_DIR}/gzipped/${name}")
  add_custom_command(OUTPUT "${copy}.gz"
    COMMAND ${CMAKE_COMMAND} -E copy "${file}" "${copy}"
    COMMAND gzip -9nf "${copy}"
    DEPENDS "${file}"
    VERBATIM)
  string(MAKE_C_IDENTIFIER "gzip_${name}" target)
  add_custom_target(${target} ALL DEPENDS "${copy}.gz")
  install(FILES "${copy}.gz" DESTINATION "${destination}")
endfunction()
