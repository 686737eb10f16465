# arkavo_add_test(<name> SOURCES <files...> LIBS <targets...> [QT])
# One GoogleTest executable; every case becomes its own ctest test. QT sets the
# offscreen platform so widget tests run without a display.
function(arkavo_add_test name)
  cmake_parse_arguments(T "QT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main arkavo_test_support)
  set(env "")
  if(T_QT)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  if(ARKAVO_SANITIZE)
    list(APPEND env "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0" "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
endfunction()

# arkavo_add_bench(<name> SOURCES <files...> LIBS <targets...>)
function(arkavo_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark benchmark::benchmark_main)
endfunction()
