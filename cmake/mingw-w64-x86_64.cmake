# Cross build for 64-bit Windows with mingw-w64: `make windows` uses it.
# The posix thread model gives the C++ library its threads and mutexes.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(EXQRV_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${EXQRV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${EXQRV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${EXQRV_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${EXQRV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One file per program: no runtime DLLs to ship beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
