# Shared by both MinGW-w64 toolchains.
# The thread model of the C++ runtime: posix for the test programs, which need
# std::thread and std::mutex; win32 for the shipped programs, which use no threads
# and must not link the posix thread library, since it needs Windows Vista.
set(HARNOX_MINGW_THREADS posix CACHE STRING "MinGW-w64 runtime thread model: posix or win32")
set(CMAKE_C_COMPILER ${HARNOX_MINGW_TRIPLE}-gcc-${HARNOX_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${HARNOX_MINGW_TRIPLE}-g++-${HARNOX_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${HARNOX_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${HARNOX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
