# Cross build for Windows with the posix-thread mingw-w64 compilers (the win32-thread g++
# has no std::mutex, which GoogleTest needs). VORLEX_MINGW_ARCH picks the target: i686, the
# product, or x86_64, the same sources for running under Wine where a machine cannot
# execute 32-bit programs.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT VORLEX_MINGW_ARCH)
  set(VORLEX_MINGW_ARCH i686)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${VORLEX_MINGW_ARCH})
set(triple ${VORLEX_MINGW_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest runs the Windows programs through Wine, with a prefix kept in the build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
