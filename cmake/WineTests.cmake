# End-to-end tests: the real visaprep.exe under Wine, from one table, in two
# throwaway prefixes inside the build tree: a 64-bit one, where it runs under
# WoW64 as on 64-bit Windows, and a 32-bit one, as on 32-bit Windows. Each
# prefix keeps one wineserver for its whole run.
add_executable(wine_tests tests/wine/WineTest.cpp tests/wine/WineHarness.cpp)
target_include_directories(wine_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(wine_tests PRIVATE ${VISAPREP_WARNINGS} -Wno-missing-field-initializers)
target_link_libraries(wine_tests PRIVATE GTest::gtest GTest::gtest_main)
add_dependencies(wine_tests windows)

foreach(arch win64 win32)
  set(prefix ${CMAKE_BINARY_DIR}/wine/${arch})
  add_test(NAME wine_prefix_${arch}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/WinePrefix.sh start ${prefix} ${arch})
  add_test(NAME wine_server_stop_${arch}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/WinePrefix.sh stop ${prefix})
  add_test(NAME wine_tests_${arch} COMMAND wine_tests)
  set_tests_properties(wine_prefix_${arch} PROPERTIES FIXTURES_SETUP ${arch})
  set_tests_properties(wine_server_stop_${arch} PROPERTIES FIXTURES_CLEANUP ${arch})
  set_tests_properties(wine_tests_${arch} PROPERTIES
    FIXTURES_REQUIRED ${arch}
    ENVIRONMENT "WINEPREFIX=${prefix};WINEDEBUG=-all;VISAPREP_BIN=${VISAPREP_BIN_DIR}")
endforeach()
