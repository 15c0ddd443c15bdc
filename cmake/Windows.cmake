# The Windows side of the build: visaprep.exe itself and the Windows programs
# and libraries that the Wine tests need. Runs under the MinGW toolchain file.
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
# Only what the program names itself gets imported.
set(CMAKE_CXX_STANDARD_LIBRARIES "")
set(CMAKE_C_STANDARD_LIBRARIES "")

if(NOT VISAPREP_BIN_DIR)
  set(VISAPREP_BIN_DIR ${CMAKE_BINARY_DIR}/bin)
endif()

set(VISAPREP_LOGIC
  app/CommandTail.cpp
  app/RunCommand.cpp
  app/Text.cpp
  config/Configuration.cpp
  config/FrameworkPath.cpp
  library/SetAside.cpp)

add_executable(visaprep WIN32
  ${VISAPREP_LOGIC}
  app/Entry.cpp
  app/Runtime.cpp
  platform/PlatformWin32.cpp)
target_include_directories(visaprep PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(visaprep PRIVATE
  -Os -Wall -Wextra -Werror
  # No runtime: no exceptions, no RTTI, no unwind tables, no guards, and no
  # loops turned back into library calls.
  -ffreestanding -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
  -fno-stack-protector -fno-threadsafe-statics -fno-tree-loop-distribute-patterns
  -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.)
target_link_options(visaprep PRIVATE
  -nostdlib -s
  -Wl,-e,_VisaprepStart@0
  -Wl,--subsystem,windows
  # Reproducible: no link time stamp in the PE header.
  -Wl,--no-insert-timestamp)
target_link_libraries(visaprep PRIVATE kernel32 advapi32 version)
set_target_properties(visaprep PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VISAPREP_BIN_DIR})

# The Wine tests' helper that sets the registry and starts visaprep with an
# exact command line. It is a test tool, so it may use the C runtime.
add_executable(driver tests/wine/Driver.cpp)
target_compile_options(driver PRIVATE -Os -Wall -Wextra -Werror)
target_link_options(driver PRIVATE -static)
target_link_libraries(driver PRIVATE kernel32 advapi32)
set_target_properties(driver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VISAPREP_BIN_DIR}/test)
