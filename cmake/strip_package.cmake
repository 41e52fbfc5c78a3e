# Run by CPack on its staging folder, before the packages are made: takes
# from every ELF file the sections a package has no use for (.comment, which
# names the compilers, and .note), as Debian's own packaging does.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file IN LISTS staged)
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  file(READ "${file}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(COMMAND "${CPACK_EXQRV_STRIP}" --remove-section=.comment --remove-section=.note
                            "${file}" COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
