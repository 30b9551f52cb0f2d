# Cross-compiles the 32-bit Windows program with mingw-w64; tests run under Wine through tests/wine-run.sh.
set(TAVLEN_MINGW_TRIPLE i686-w64-mingw32)
set(TAVLEN_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
