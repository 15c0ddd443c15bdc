# End-to-end tests: visaprep.exe under Wine, from one table, in throwaway
# prefixes inside the build tree, one a flavour:
#   win64  the real 32-bit program in a 64-bit prefix, under WoW64 as on
#          64-bit Windows;
#   win32  the real program in a 32-bit prefix, as on 32-bit Windows;
#   x64    the 64-bit test build of the same sources in a 64-bit prefix,
#          driven by Wine's 64-bit half directly. It runs on every host, so
#          every host proves the same table.
# Each prefix keeps one wineserver for its whole run. In each, installer_*
# builds the NSIS installer that the guide gives installer authors (x86 for
# the 32-bit program, amd64 for the 64-bit build) and runs it silently.
add_executable(wine_tests tests/wine/WineTest.cpp tests/wine/WineHarness.cpp)
target_include_directories(wine_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(wine_tests PRIVATE ${VISAPREP_WARNINGS} -Wno-missing-field-initializers)
target_link_libraries(wine_tests PRIVATE GTest::gtest GTest::gtest_main)
add_dependencies(wine_tests windows windows64)

# Wine starts 32-bit Windows programs through Debian's wine32:i386, or
# through the same packages unpacked apart, natively or under qemu-user; the
# probe says which route this host takes, once, and names its loaders.
set(wine_prefix_script ${CMAKE_SOURCE_DIR}/tests/wine/WinePrefix.sh)
execute_process(COMMAND ${wine_prefix_script} probe RESULT_VARIABLE wine32_problem
  OUTPUT_VARIABLE wine32_probe OUTPUT_STRIP_TRAILING_WHITESPACE)
string(REPLACE "\n" ";" wine32_probe "${wine32_probe}")
list(GET wine32_probe 0 wine32_route)
set(wine32_kind "")
set(wine32_loader "")
set(wow64_loader "")
if(wine32_problem)
  message(NOTICE "${wine32_route} The end-to-end tests run the 64-bit build of the same "
                 "sources instead, and the 32-bit flavours are skipped.")
else()
  list(GET wine32_probe 1 wine32_kind)
  list(GET wine32_probe 2 wine32_loader)
  list(GET wine32_probe 3 wow64_loader)
  message(NOTICE "${wine32_route} The end-to-end tests run the real 32-bit visaprep.exe "
                 "under WoW64 and in a 32-bit prefix, and the 64-bit build too.")
endif()

# flavour | Wine architecture | visaprep build | loader
set(wine_flavours
  "win64|win64|${VISAPREP_BIN_DIR}|${wow64_loader}"
  "win32|win32|${VISAPREP_BIN_DIR}|${wine32_loader}"
  "x64|win64|${VISAPREP_BIN_DIR}/x64|/usr/lib/wine/wine64")
foreach(row IN LISTS wine_flavours)
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 flavour)
  list(GET fields 1 arch)
  list(GET fields 2 bin)
  list(GET fields 3 loader)
  set(tests wine_prefix_${flavour} wine_tests_${flavour} wine_server_stop_${flavour})

  if(wine32_problem AND NOT loader)
    foreach(test IN LISTS tests ITEMS installer_${flavour})
      add_test(NAME ${test} COMMAND ${CMAKE_COMMAND} -E echo "skipped: ${wine32_route}")
      set_tests_properties(${test} PROPERTIES SKIP_REGULAR_EXPRESSION "^skipped: ")
    endforeach()
    continue()
  endif()

  set(prefix ${CMAKE_BINARY_DIR}/wine/${flavour})
  set(environment "WINEPREFIX=${prefix};WINEDEBUG=-all;VISAPREP_BIN=${bin}"
                  "VISAPREP_FLAVOUR=${flavour};VISAPREP_SOURCE=${CMAKE_SOURCE_DIR}"
                  "VISAPREP_WINE32_KIND=${wine32_kind}")
  list(APPEND environment "WINELOADER=${loader}")
  add_test(NAME wine_prefix_${flavour} COMMAND ${wine_prefix_script} start ${prefix} ${arch})
  add_test(NAME wine_server_stop_${flavour} COMMAND ${wine_prefix_script} stop ${prefix})
  add_test(NAME wine_tests_${flavour} COMMAND wine_tests --gtest_filter=Wine.*)
  set_tests_properties(${tests} PROPERTIES ENVIRONMENT "${environment}")
  set_tests_properties(wine_prefix_${flavour} PROPERTIES FIXTURES_SETUP ${flavour})
  if(arch STREQUAL "win32")
    # Under qemu, Wine's boot of a 32-bit prefix crashed while other tables
    # ran beside it: it boots alone.
    set_tests_properties(wine_prefix_${flavour} PROPERTIES RUN_SERIAL TRUE)
  endif()
  set_tests_properties(wine_server_stop_${flavour} PROPERTIES FIXTURES_CLEANUP ${flavour})
  # The signing test runs rows of this table in the same prefix: never
  # side by side with it.
  set_tests_properties(wine_tests_${flavour} PROPERTIES FIXTURES_REQUIRED ${flavour}
                                                        RESOURCE_LOCK prefix_${flavour})
  if(wine32_kind STREQUAL "qemu" AND flavour STREQUAL "win32")
    # Emulated, every 32-bit process costs seconds to start: the installer
    # table runs once, under WoW64, and the 32-bit prefix keeps its Wine table.
    add_test(NAME installer_${flavour} COMMAND ${CMAKE_COMMAND} -E echo
      "skipped: 32-bit programs run emulated here, and the installer table already runs them under WoW64; in a 32-bit prefix as well it would take CI past its time")
    set_tests_properties(installer_${flavour} PROPERTIES SKIP_REGULAR_EXPRESSION "^skipped: ")
  else()
    # One engine a test, each in a prefix of its own, so that ctest -j runs
    # them side by side; Inno Setup's compiler and Setup are 32-bit, and the
    # 64-bit build's flavour is for hosts that cannot start them.
    set(engines nsis inno innoMODE64 msi)
    if(flavour STREQUAL "win64")
      # 64-bit installers around the shipped 32-bit visaprep.
      list(APPEND engines nsisAMD64 msiX64)
    elseif(flavour STREQUAL "x64")
      set(engines nsis msi)
    endif()
    foreach(engine IN LISTS engines)
      set(each ${flavour}_${engine})
      if(wine32_kind STREQUAL "qemu" AND engine STREQUAL "innoMODE64")
        # Emulated, Inno Setup's table takes half an hour a mode: one mode
        # runs here, and both where 32-bit programs run natively.
        add_test(NAME installer_${each} COMMAND ${CMAKE_COMMAND} -E echo
          "skipped: 32-bit programs run emulated here, and Inno Setup's rows already run in its 32-bit mode; its 64-bit mode as well would take CI past its time")
        set_tests_properties(installer_${each} PROPERTIES SKIP_REGULAR_EXPRESSION "^skipped: ")
        continue()
      endif()
      string(REPLACE "WINEPREFIX=${prefix}" "WINEPREFIX=${prefix}-${engine}" each_environment
             "${environment}")
      add_test(NAME wine_prefix_${each} COMMAND ${wine_prefix_script} start ${prefix}-${engine} ${arch})
      add_test(NAME wine_server_stop_${each} COMMAND ${wine_prefix_script} stop ${prefix}-${engine})
      add_test(NAME installer_${each} COMMAND wine_tests --gtest_filter=*/Installer.*/${engine})
      set_tests_properties(wine_prefix_${each} wine_server_stop_${each} installer_${each}
        PROPERTIES ENVIRONMENT "${each_environment}")
      set_tests_properties(wine_prefix_${each} PROPERTIES FIXTURES_SETUP ${each})
      set_tests_properties(wine_server_stop_${each} PROPERTIES FIXTURES_CLEANUP ${each})
      # The longest first: Inno Setup's rows, emulated, take the most.
      string(FIND "${engine}" "inno" inno)
      set(cost 10)
      if(inno EQUAL 0)
        set(cost 100)
      elseif(engine STREQUAL "nsis")
        set(cost 50)
      endif()
      set_tests_properties(installer_${each} PROPERTIES FIXTURES_REQUIRED ${each} COST ${cost})
    endforeach()
  endif()
  set(environment_${flavour} "${environment}")
  set(bin_${flavour} ${bin})
endforeach()

# Signing must leave a working program: the shipped 32-bit one under WoW64,
# or, where 32-bit programs cannot start, the 64-bit build, which signs the
# same way.
set(flavour win64)
if(wine32_problem)
  set(flavour x64)
endif()
add_test(NAME signing COMMAND ${CMAKE_SOURCE_DIR}/tests/signing.sh ${bin_${flavour}}/visaprep.exe
                              $<TARGET_FILE:wine_tests> ${PROJECT_VERSION})
set_tests_properties(signing PROPERTIES ENVIRONMENT "${environment_${flavour}}"
                                        FIXTURES_REQUIRED ${flavour}
                                        RESOURCE_LOCK prefix_${flavour})
