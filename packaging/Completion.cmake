# Bash completion, one file per program named after it, where bash-completion loads it
# on first use. The build tree gets the same layout for the completion tests.
foreach(program IN ITEMS Quarn_Console Quarn_EndPoint)
  configure_file(completion/${program}
                 ${CMAKE_BINARY_DIR}/bash-completion/completions/${program} COPYONLY)
  install(FILES completion/${program} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endforeach()
