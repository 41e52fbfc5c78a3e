# What Debian expects of the installed files, and the Debian packages
# (`make deb`). Included from the top folder, after the install rules.

# Manual pages and the changelog are installed compressed, as gzip -9n
# gives them: the same bytes on every build, whenever it runs.
# exqrv_gzip(SOURCE OUTPUT): OUTPUT is made from SOURCE by the build.
set(EXQRV_COMPRESSED_FILES)
function(exqrv_gzip source output)
  add_custom_command(OUTPUT ${output}
                     COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" gzip ${source} ${output}
                     DEPENDS ${source} VERBATIM)
  set(EXQRV_COMPRESSED_FILES ${EXQRV_COMPRESSED_FILES} ${output} PARENT_SCOPE)
endfunction()

foreach(page exqrv.1 qrvtool.1)
  exqrv_gzip(${PROJECT_SOURCE_DIR}/doc/${page} ${CMAKE_BINARY_DIR}/doc/${page}.gz)
  install(FILES ${CMAKE_BINARY_DIR}/doc/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# One changelog for every package: they are released together. Its newest
# entry must be this release, or the packages would say another.
set(changelog ${PROJECT_SOURCE_DIR}/data/debian/changelog)
file(STRINGS ${changelog} newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^exqrv \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "${changelog} begins with '${newest}', not release ${PROJECT_VERSION}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
exqrv_gzip(${changelog} ${CMAKE_BINARY_DIR}/debian/changelog.gz)
add_custom_target(compressed_files ALL DEPENDS ${EXQRV_COMPRESSED_FILES})
add_dependencies(programs compressed_files)

# Each package's /usr/share/doc/PACKAGE: the copyright and the changelog.
function(exqrv_package_documents component package)
  install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endfunction()

# The packages: what the rules install, under /usr, one package per
# component: the programs (exqrv), the library (libexqrv1), its header and
# build files (libexqrv-dev) and the Python module (python3-exqrv). Their
# dependencies on the system's libraries are read by dpkg-shlibdeps from the
# libraries they really use.
set(EXQRV_PACKAGE_MAINTAINER "ExQRV developers <exqrv@example.org>" CACHE STRING
    "The Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME exqrv)
set(CPACK_PACKAGE_CONTACT "${EXQRV_PACKAGE_MAINTAINER}")
# Each package's description begins with its own summary line; a summary
# for them all would be put before each. Lines of the long description
# stay within 80 columns, as dpkg and apt show them.
set(CPACK_PACKAGE_DESCRIPTION
    "exqrv writes the text of Quillor documents (.QRV) into plain text files,\nfrom the command line or from a dialog. qrvtool, its companion, shows how a\ndocument is built, prints and checks its text, and makes documents from\ntext files; a magic file lets file(1) name the documents.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Stripped of debugging symbols, and of the sections a package has no use
# for (the compilers' names and versions), as Debian strips.
set(CPACK_STRIP_FILES ON)
set(CPACK_EXQRV_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/strip_package.cmake)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL programs)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME exqrv)
# Completion is welcome, not needed.
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_RECOMMENDS bash-completion)
set(CPACK_DEBIAN_PROGRAMS_DESCRIPTION
    "extract the text of Quillor documents into text files\n${CPACK_PACKAGE_DESCRIPTION}")
exqrv_package_documents(programs exqrv)
if(TARGET exqrv_library)
  list(APPEND CPACK_COMPONENTS_ALL library development)
  set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libexqrv1)
  set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
  # Other packages built against it depend on it through its shlibs file
  # (CPack makes one only for every package at once). The linker's cache is
  # refreshed through dpkg's ldconfig trigger: the package needs no
  # maintainer script, and those CPack writes are taken out.
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/debian/libexqrv1/shlibs
       CONTENT "libexqrv 1 libexqrv1 (>= ${PROJECT_VERSION})\n")
  set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/libexqrv1/shlibs
      ${PROJECT_SOURCE_DIR}/data/debian/libexqrv1/triggers)
  set(CPACK_EXQRV_TRIGGERED_PACKAGE libexqrv1)
  set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/drop_ldconfig_scripts.cmake)
  set(CPACK_DEBIAN_LIBRARY_DESCRIPTION
      "Quillor document text in-process - shared library\nlibexqrv opens Quillor documents (.QRV) from files or memory and gives\ntheir text as exqrv writes it, page by page with their notes or whole,\nthrough a C API.")
  exqrv_package_documents(library libexqrv1)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libexqrv-dev)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libexqrv1 (= ${PROJECT_VERSION})")
  set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
      "Quillor document text in-process - development files\nThe header exqrv.h, the pkg-config file exqrv.pc and the CMake package\nexqrv, for building against libexqrv.")
  exqrv_package_documents(development libexqrv-dev)
endif()
if(TARGET exqrv_python)
  list(APPEND CPACK_COMPONENTS_ALL python)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-exqrv)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  # Built for one version of Debian's Python; libexqrv1 is named here, as
  # dpkg-shlibdeps cannot look it up in a package not yet installed.
  string(REGEX MATCH "^[0-9]+\\.[0-9]+" python_version "${EXQRV_PYTHON_VERSION}")
  string(REGEX REPLACE "\\.([0-9]+)$" "" python_major "${python_version}")
  string(REGEX MATCH "[0-9]+$" python_minor "${python_version}")
  math(EXPR python_next "${python_minor} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
      "libexqrv1 (= ${PROJECT_VERSION}), python3 (>= ${python_version}), python3 (<< ${python_major}.${python_next})")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/src/library)
  set(CPACK_DEBIAN_PYTHON_DESCRIPTION
      "Quillor document text in-process - Python module\nimport exqrv opens Quillor documents (.QRV) from paths or bytes and\ngives their pages' text and notes, or the whole text as exqrv writes it.")
  exqrv_package_documents(python python3-exqrv)
endif()
include(CPack)
