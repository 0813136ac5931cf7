# Cross-builds the 32-bit Windows DLL with Debian's mingw-w64 compilers.  The
# -posix thread-model variants are needed: GoogleTest uses std::mutex and
# std::thread, which the -win32 variants lack.  Test programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(ZRK_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${ZRK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZRK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZRK_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${ZRK_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${ZRK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
