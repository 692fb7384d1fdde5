# Cross-building the Windows DLL with MinGW-w64 from Debian's packages. Included by the two
# architecture files, which set KELVANE_MINGW_TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)
# The POSIX thread model: the emulated console's std::mutex and std::condition_variable need it (GCC 12's
# win32 model has neither). Linked statically, so the DLL needs no MinGW runtime DLL beside it.
set(CMAKE_C_COMPILER ${KELVANE_MINGW_TRIPLE}-gcc-posix)  # GoogleTest enables C
set(CMAKE_CXX_COMPILER ${KELVANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KELVANE_MINGW_TRIPLE}-windres)
set(KELVANE_WIDL ${KELVANE_MINGW_TRIPLE}-widl)
set(CMAKE_FIND_ROOT_PATH /usr/${KELVANE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
