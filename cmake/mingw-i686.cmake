# 32-bit Windows (g++-mingw-w64-i686): the program that ships.
set(VISAPREP_MINGW i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
