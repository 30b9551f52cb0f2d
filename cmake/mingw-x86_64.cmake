# Cross-compiles the same sources as a 64-bit image, for hosts where Wine cannot run 32-bit code.
set(TAVLEN_MINGW_TRIPLE x86_64-w64-mingw32)
set(TAVLEN_MINGW_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
