# Cross-compiles for Windows with Debian's MinGW-w64, for the processor that
# VISAPREP_MINGW names (i686 or x86_64); the toolchain files beside this one
# set it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VISAPREP_MINGW})
set(CMAKE_C_COMPILER ${VISAPREP_MINGW}-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER ${VISAPREP_MINGW}-w64-mingw32-g++)
set(CMAKE_RC_COMPILER ${VISAPREP_MINGW}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VISAPREP_MINGW}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
