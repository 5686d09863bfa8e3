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
