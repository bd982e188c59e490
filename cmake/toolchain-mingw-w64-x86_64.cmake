# Cross-builds the Windows x64 DLL with Debian's MinGW-w64 (g++-mingw-w64-x86-64).
# Programs built for Windows (the unit tests) run through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TQ_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TQ_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TQ_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TQ_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${TQ_MINGW_PREFIX}-dlltool)
set(CMAKE_OBJDUMP ${TQ_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${TQ_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian keeps wine64 out of PATH, in /usr/lib/wine.
find_program(TQ_WINE NAMES wine64 wine HINTS /usr/lib/wine)
if(TQ_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TQ_WINE})
endif()
