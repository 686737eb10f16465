# arkavo_add_test(<name> SOURCES <files...> LIBS <targets...> [QT] [TIMEOUT <seconds>] [LABELS <labels...>])
# One GoogleTest executable; every case becomes its own ctest test. QT sets the
# offscreen platform so widget tests run without a display.
function(arkavo_add_test name)
  cmake_parse_arguments(T "QT" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(sources ${T_SOURCES})
  if(ARKAVO_SANITIZE)
    list(APPEND sources ${PROJECT_SOURCE_DIR}/tests/support/SanitizerOptions.cpp)
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main arkavo_test_support)
  set(props TIMEOUT ${T_TIMEOUT})
  if(T_QT)
    list(APPEND props ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  endif()
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ${props})
endfunction()

# arkavo_add_bench(<name> SOURCES <files...> LIBS <targets...>)
function(arkavo_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark benchmark::benchmark_main)
endfunction()
