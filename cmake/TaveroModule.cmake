# tavero_library(<target> SOURCES <files...> [DEPS <targets...>])
#   One static library per module. Every module includes from the project
#   root ("storage/vmr/vmr.h"), so the root is the one include directory.
function(tavero_library target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${target} STATIC ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_DEPS} Threads::Threads)
endfunction()

# tavero_test(<target> SOURCES <files...> [DEPS <targets...>] [PROPERTIES ...])
#   One GoogleTest executable per module, its cases registered with CTest.
function(tavero_test target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PROPERTIES" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main Threads::Threads)
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 120 PROPERTIES ${ARG_PROPERTIES})
endfunction()

# tavero_bench(<target> SOURCES <files...> [DEPS <targets...>])
#   A Google Benchmark executable in bench/. Benchmarks compare against a
#   peer measured in the same run and report ratios.
function(tavero_bench target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} benchmark::benchmark Threads::Threads)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()

# tavero_fuzz(<target> SOURCES <files...> [DEPS <targets...>])
#   A libFuzzer target (clang only, -DTAVERO_FUZZ=ON); scripts/fuzz.sh runs
#   each for a bounded time. Not part of CI.
function(tavero_fuzz target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_compile_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${target} PRIVATE ${ARG_DEPS})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()
