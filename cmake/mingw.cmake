# What both mingw-w64 toolchain files share; they set TAVLEN_MINGW_TRIPLE and TAVLEN_MINGW_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TAVLEN_MINGW_PROCESSOR})

# The posix thread model gives the C++ runtime std::mutex, which GoogleTest needs; it is linked statically.
# Tavlen.exe links none of the C++ runtime, so the thread model never reaches it.
set(CMAKE_C_COMPILER ${TAVLEN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVLEN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVLEN_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVLEN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
