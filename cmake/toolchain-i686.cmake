# Cross build for 32-bit Windows, the real target, run under the 32-bit side of Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KESTRIN_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${KESTRIN_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTRIN_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${KESTRIN_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KESTRIN_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The wrapper keeps the program's pid and skips (exit 77) where no 32-bit Wine is installed.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine32)
