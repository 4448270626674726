# Cross build for 64-bit Windows (the build that runs here under Wine).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KESTRIN_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${KESTRIN_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTRIN_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${KESTRIN_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KESTRIN_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The 64-bit loader itself: /usr/bin/wine with the 32-bit side installed starts the 32-bit
# loader, which hands the program to a new process and does not return its exit code.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
