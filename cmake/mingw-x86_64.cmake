# 64-bit Windows (g++-mingw-w64-x86-64): a test build of the same sources.
set(VISAPREP_MINGW x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
