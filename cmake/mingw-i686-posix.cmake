# Cross build for 32-bit Windows with mingw-w64 in its posix-thread flavour (std::thread, std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(AMBREL_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${AMBREL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${AMBREL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${AMBREL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${AMBREL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows binaries run under 32-bit Wine; ctest and custom commands go through this script.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
