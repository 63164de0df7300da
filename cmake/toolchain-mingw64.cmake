# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64,
# mingw-w64-x86-64-dev). Its d3d9.h, d3dx9.h and import libraries are the
# platform's own, so the library compiles against them instead of the
# software layer.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TA_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${TA_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${TA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
