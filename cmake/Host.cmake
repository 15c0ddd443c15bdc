# The host side of the build: unit tests of the logic against the fake
# platform, the Windows build as an external project, and the Wine tests.
include(ExternalProject)
enable_testing()

set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

foreach(compiler i686 x86_64)
  find_program(MINGW_CXX_${compiler} ${compiler}-w64-mingw32-g++)
  if(NOT MINGW_CXX_${compiler})
    string(REPLACE "_" "-" package g++-mingw-w64-${compiler})
    message(FATAL_ERROR "${compiler}-w64-mingw32-g++ not found: install the Debian package ${package}")
  endif()
endforeach()
find_program(WINE wine)
find_program(WINESERVER wineserver)
if(NOT WINE OR NOT WINESERVER)
  message(FATAL_ERROR "wine not found: install the Debian packages wine, wine32 and wine64 "
                      "(after 'dpkg --add-architecture i386')")
endif()
find_program(MAKENSIS makensis)
if(NOT MAKENSIS)
  message(FATAL_ERROR "makensis not found: install the Debian package nsis")
endif()
find_package(GTest)
if(NOT GTest_FOUND)
  message(FATAL_ERROR "GoogleTest not found: install the Debian package libgtest-dev")
endif()

set(VISAPREP_BIN_DIR ${CMAKE_BINARY_DIR}/bin)
function(add_windows_build name compiler bin)
  ExternalProject_Add(${name}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/${name}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-${compiler}.cmake
      -DCMAKE_BUILD_TYPE=Release
      -DVISAPREP_BIN_DIR=${bin}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)
endfunction()
# The program that ships, and a 64-bit build of the same sources that only
# the Wine tests and the demo use, for hosts that cannot start 32-bit ones.
add_windows_build(windows i686 ${VISAPREP_BIN_DIR})
add_windows_build(windows64 x86_64 ${VISAPREP_BIN_DIR}/x64)

set(VISAPREP_WARNINGS -Wall -Wextra -Werror)
# The program's own code is held to conversions too; the tests are not.
set(VISAPREP_LOGIC_WARNINGS -Wconversion -Wsign-conversion)
set(VISAPREP_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all)

add_library(fake_platform STATIC tests/fake/FakePlatform.cpp)
target_include_directories(fake_platform PUBLIC ${CMAKE_SOURCE_DIR})

include(cmake/Sources.cmake)
set_source_files_properties(${VISAPREP_LOGIC} PROPERTIES COMPILE_OPTIONS "${VISAPREP_LOGIC_WARNINGS}")

# The logic with its real phases, against the fake platform.
add_executable(logic_tests
  ${VISAPREP_LOGIC}
  tests/unit/CommandTailTest.cpp
  tests/unit/ConfigurationTest.cpp
  tests/unit/LibraryTest.cpp
  tests/unit/FaultTest.cpp)
# The dispatcher alone, with phases that record their calls.
add_executable(dispatch_tests
  app/RunCommand.cpp
  text/Text.cpp
  tests/unit/RecordingPhases.cpp
  tests/unit/DispatchTest.cpp)

foreach(target logic_tests dispatch_tests fake_platform)
  # Table rows leave trailing members at their defaults on purpose.
  target_compile_options(${target} PRIVATE ${VISAPREP_WARNINGS} ${VISAPREP_SANITIZERS} -g
    -Wno-missing-field-initializers)
  target_link_options(${target} PRIVATE ${VISAPREP_SANITIZERS})
endforeach()
foreach(target logic_tests dispatch_tests)
  target_link_libraries(${target} PRIVATE fake_platform GTest::gtest GTest::gtest_main)
  add_test(NAME ${target} COMMAND ${target})
endforeach()

include(cmake/WineTests.cmake)

add_test(NAME artifact
  COMMAND ${CMAKE_SOURCE_DIR}/tests/artifact.sh ${VISAPREP_BIN_DIR}/visaprep.exe ${CMAKE_SOURCE_DIR})

add_test(NAME lint COMMAND ${CMAKE_SOURCE_DIR}/scripts/lint.sh ${CMAKE_BINARY_DIR})

# The archive an installer author takes: the 32-bit program, never the
# 64-bit test build. Signing, when asked for, reads its settings from the
# environment of this build step, so no password reaches the cache or a log.
set(release_dir ${CMAKE_BINARY_DIR}/release)
add_custom_target(release
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/release.sh ${VISAPREP_BIN_DIR}/visaprep.exe
          ${CMAKE_SOURCE_DIR} ${release_dir} ${PROJECT_VERSION}
  VERBATIM)
add_dependencies(release windows)
add_test(NAME release
  COMMAND ${CMAKE_SOURCE_DIR}/tests/release.sh ${CMAKE_BINARY_DIR} ${VISAPREP_BIN_DIR}/visaprep.exe
          ${release_dir}/visaprep-${PROJECT_VERSION}.zip)
