# Shared part of the MinGW-w64 toolchain files: set QUILLET_MINGW_TRIPLE, then include this.
# Debian's cross compilers with the posix thread model (std::thread and friends through
# winpthreads); their runtime DLLs are libwinpthread-1.dll and the GCC runtime of the
# architecture. The compilers are named with their -posix suffix, so that the system's
# default choice between the win32 and posix models does not matter.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QUILLET_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLET_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLET_MINGW_TRIPLE}-windres)

# Libraries and headers come only from the cross toolchain's sysroot and the XML stack
# that scripts/build-win-deps.sh builds; programs run on the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${QUILLET_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
