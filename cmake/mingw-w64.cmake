# Cross-build for 64-bit Windows with Debian's mingw-w64 (the posix thread model: the
# win32 one has no std::jthread). Programs are linked statically so they run alone.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUARN_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUARN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUARN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUARN_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUARN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages built for Windows live outside the root (scripts/build-windows.sh's deps).
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Windows 7 and later: inet_pton, CancelIoEx, the handle list for CreateProcessW.
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0601 -DWINVER=0x0601 -DUNICODE -D_UNICODE")
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=0x0601 -DWINVER=0x0601")
# Tests run under Wine.
find_program(QUARN_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT QUARN_WINE64)
  find_program(QUARN_WINE64 NAMES wine64 wine)
endif()
if(QUARN_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUARN_WINE64})
endif()
