# Manual pages: scdoc sources in man/, turned into roff and gzipped at build time, and
# installed into section 1.
find_program(QUARN_SCDOC scdoc)
if(NOT QUARN_SCDOC)
  message(WARNING "scdoc not found: the manual pages are neither built nor installed "
                  "(scripts/setup.sh installs it)")
  return()
endif()

set(man_outputs)
foreach(page IN ITEMS Quarn_Console Quarn_EndPoint)
  set(source ${CMAKE_CURRENT_SOURCE_DIR}/man/${page}.1.scd)
  set(roff ${CMAKE_BINARY_DIR}/man/man1/${page}.1)
  add_custom_command(
    OUTPUT ${roff} ${roff}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man/man1
    COMMAND ${QUARN_SCDOC} < ${source} > ${roff}
    COMMAND gzip -9n -c ${roff} > ${roff}.gz
    DEPENDS ${source}
    VERBATIM)
  list(APPEND man_outputs ${roff}.gz)
  install(FILES ${roff}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(quarn_man_pages ALL DEPENDS ${man_outputs})
