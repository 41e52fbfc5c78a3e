# The hardening Debian builds its packages with (fortified functions,
# stack protection, relocations made read-only and bound at load time), as
# dpkg-buildflags gives it. The optimisation, debug and path-mapping flags it
# gives too stay the build type's choice. Sanitizer, fuzzing, Windows and
# WebAssembly builds go without: they are never packaged, fortified
# functions hide faults from the sanitizers, and WebAssembly has neither a
# stack guard nor load-time relocations.
if(WIN32 OR EMSCRIPTEN OR EXQRV_SANITIZE OR EXQRV_FUZZ OR EXQRV_TSAN)
  return()
endif()
find_program(EXQRV_DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT EXQRV_DPKG_BUILDFLAGS)
  message(STATUS "dpkg-buildflags not found: building without Debian's hardening flags")
  return()
endif()

# exqrv_debian_flags(KIND OUT): dpkg-buildflags --get KIND, as a list.
function(exqrv_debian_flags kind out)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                          ${EXQRV_DPKG_BUILDFLAGS} --get ${kind}
                  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  list(FILTER flags EXCLUDE REGEX "^-(O|g|f[a-z-]*prefix-map=)")
  set(${out} ${flags} PARENT_SCOPE)
endfunction()

exqrv_debian_flags(CPPFLAGS preprocessor_flags)
exqrv_debian_flags(CXXFLAGS compiler_flags)
exqrv_debian_flags(LDFLAGS linker_flags)
add_compile_options(${preprocessor_flags} ${compiler_flags})
add_link_options(${linker_flags})
