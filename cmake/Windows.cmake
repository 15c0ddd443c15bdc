# The Windows side of the build: visaprep.exe itself and the Windows programs
# and libraries that the Wine tests need. Runs under a MinGW toolchain file:
# the i686 one gives the program that ships, the x86_64 one a test build of
# the same sources for hosts whose Wine cannot start 32-bit programs.
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
# Only what the program names itself gets imported.
set(CMAKE_CXX_STANDARD_LIBRARIES "")
set(CMAKE_C_STANDARD_LIBRARIES "")

if(NOT VISAPREP_BIN_DIR)
  set(VISAPREP_BIN_DIR ${CMAKE_BINARY_DIR}/bin)
endif()

include(cmake/Sources.cmake)

add_executable(visaprep WIN32
  ${VISAPREP_LOGIC}
  app/Entry.cpp
  app/Runtime.cpp
  platform/PlatformWin32.cpp)
target_include_directories(visaprep PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(visaprep PRIVATE
  -Os -Wall -Wextra -Wconversion -Wsign-conversion -Werror
  # No runtime: no exceptions, no RTTI, no unwind tables, no guards, and no
  # loops turned back into library calls.
  -ffreestanding -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
  -fno-stack-protector -fno-threadsafe-statics -fno-tree-loop-distribute-patterns
  # No compiler banner in every object: it costs a sector of the file.
  -fno-ident
  # Whole-program optimisation: the phases share small helpers across files,
  # and inlining them where they are used once keeps the program within 8 KB.
  -flto
  -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.)
# 32-bit stdcall names carry a leading underscore and their argument bytes.
function(stdcall_name out name bytes)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(${out} _${name}@${bytes} PARENT_SCOPE)
  else()
    set(${out} ${name} PARENT_SCOPE)
  endif()
endfunction()
stdcall_name(entry VisaprepStart 0)
target_link_options(visaprep PRIVATE
  -nostdlib -s -flto -Os
  -Wl,-e,${entry}
  -Wl,--subsystem,windows
  # Reproducible: no link time stamp in the PE header.
  -Wl,--no-insert-timestamp)
# VERSION.dll is loaded at run time from the system directory, never imported.
target_link_libraries(visaprep PRIVATE kernel32 advapi32)
set_target_properties(visaprep PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VISAPREP_BIN_DIR})

# The Wine tests' helper that sets the registry and starts visaprep with an
# exact command line. It is a test tool, so it may use the C runtime.
add_executable(driver tests/wine/Driver.cpp)
target_compile_options(driver PRIVATE -Os -Wall -Wextra -Werror)
target_link_options(driver PRIVATE -static)
target_link_libraries(driver PRIVATE kernel32 advapi32)
set_target_properties(driver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VISAPREP_BIN_DIR}/test)

# The stand-in that installers are built with to be cut off around one of
# their visaprep runs.
add_executable(standin WIN32 tests/wine/StandIn.cpp)
target_compile_options(standin PRIVATE -Os -Wall -Wextra -Werror)
target_link_options(standin PRIVATE -static)
set_target_properties(standin PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VISAPREP_BIN_DIR}/test)

# A version.dll to plant beside visaprep.exe, with undecorated exports as
# the real one has.
add_library(planted SHARED tests/wine/Planted.cpp)
stdcall_name(entry PlantedEntry 12)
target_compile_options(planted PRIVATE -Os -Wall -Wextra -Werror)
target_link_options(planted PRIVATE -nostdlib -s -Wl,-e,${entry} -Wl,--kill-at)
target_link_libraries(planted PRIVATE kernel32)
set_target_properties(planted PROPERTIES
  PREFIX "" OUTPUT_NAME version
  RUNTIME_OUTPUT_DIRECTORY ${VISAPREP_BIN_DIR}/test/planted)

# Test libraries with real version resources, compiled by windres from one
# template and the rows of tests/wine/libraries/libraries.txt.
enable_language(RC)
set(libraries ${CMAKE_SOURCE_DIR}/tests/wine/libraries)
foreach(count 224 225 300)
  string(REPEAT "n" ${count} N${count})
endforeach()
# A new row configures again, as a new source file would.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${libraries}/libraries.txt)
file(STRINGS ${libraries}/libraries.txt rows REGEX "^[^#]")
foreach(row IN LISTS rows)
  string(CONFIGURE "${row}" row @ONLY)
  string(REPLACE "|" ";" fields "${row}")
  list(POP_FRONT fields name)
  set(sources ${libraries}/Library.cpp)
  if(fields)
    list(POP_FRONT fields TRANSLATION)
    set(STRING_BLOCKS "")
    while(fields)
      list(POP_FRONT fields block literal)
      set(value "")
      if(NOT literal STREQUAL "-")
        set(value "      VALUE \"CompanyName\", ${literal}\n")
      endif()
      string(APPEND STRING_BLOCKS "    BLOCK \"${block}\"\n    BEGIN\n${value}"
             "      VALUE \"FileDescription\", \"visaprep test library ${name}\"\n    END\n")
    endwhile()
    configure_file(${libraries}/Version.rc.in ${CMAKE_BINARY_DIR}/libraries/${name}.rc @ONLY)
    list(APPEND sources ${CMAKE_BINARY_DIR}/libraries/${name}.rc)
  endif()
  add_library(library_${name} SHARED ${sources})
  # Data only: no runtime, no entry point.
  target_link_options(library_${name} PRIVATE -nostdlib -s -Wl,-e,0 -Wl,--no-insert-timestamp)
  set_target_properties(library_${name} PROPERTIES
    PREFIX "" OUTPUT_NAME ${name}
    RUNTIME_OUTPUT_DIRECTORY ${VISAPREP_BIN_DIR}/test/libraries)
endforeach()
