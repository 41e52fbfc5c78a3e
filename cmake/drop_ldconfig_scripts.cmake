# Run by CPack on the packages it has made. The library's package keeps the
# linker's cache fresh through dpkg's ldconfig trigger, as Debian's library
# packages do; CPack adds a postinst and a postrm that run ldconfig to any
# package with a library under /usr/lib, and has no setting to leave them
# out, so they are taken out of that package here.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name "${package}" NAME)
  if(NOT name MATCHES "^${CPACK_EXQRV_TRIGGERED_PACKAGE}_.*\\.deb$")
    continue()
  endif()
  set(tree "${package}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb --raw-extract "${package}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE "${tree}/DEBIAN/postinst" "${tree}/DEBIAN/postrm")
  execute_process(COMMAND dpkg-deb --root-owner-group --build "${tree}" "${package}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()
