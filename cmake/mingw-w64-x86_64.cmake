# The same Windows build for 64-bit Windows, with Debian's mingw-w64
# compilers (-posix thread model, as GoogleTest needs).  The plug-in shipped
# for the host is the 32-bit one (mingw-w64-i686.cmake); this one is a second
# target whose suite runs under 64-bit Wine beside the 32-bit suite.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZRK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZRK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZRK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZRK_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${ZRK_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${ZRK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian's "wine" picks the 32-bit loader whenever it is installed; the
# 64-bit one is called by its own path.
find_program(ZRK_WINE64 wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(ZRK_WINE64 wine64)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZRK_WINE64})
