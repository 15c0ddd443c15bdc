# End-to-end tests: the real visaprep.exe under Wine, in a throwaway 64-bit
# prefix inside the build tree, where it runs under WoW64 as on 64-bit
# Windows.
add_executable(wine_tests tests/wine/WineTest.cpp tests/wine/WineHarness.cpp)
target_include_directories(wine_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(wine_tests PRIVATE ${VISAPREP_WARNINGS} -Wno-missing-field-initializers)
target_link_libraries(wine_tests PRIVATE GTest::gtest GTest::gtest_main)
add_dependencies(wine_tests windows)

set(prefix ${CMAKE_BINARY_DIR}/wine/win64)
add_test(NAME wine_prefix_win64
  COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/WinePrefix.sh start ${prefix} win64)
add_test(NAME wine_server_stop_win64
  COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/WinePrefix.sh stop ${prefix})
add_test(NAME wine_tests_win64 COMMAND wine_tests)
set_tests_properties(wine_prefix_win64 PROPERTIES FIXTURES_SETUP win64)
set_tests_properties(wine_server_stop_win64 PROPERTIES FIXTURES_CLEANUP win64)
set_tests_properties(wine_tests_win64 PROPERTIES
  FIXTURES_REQUIRED win64
  ENVIRONMENT "WINEPREFIX=${prefix};WINEDEBUG=-all;VISAPREP_BIN=${VISAPREP_BIN_DIR}")
