# One static library per folder of sources. Every .cpp in the folder (not below it) is part
# of the library, so adding a class is adding its .h/.cpp pair.
#   quorvane_library(NAME DIR [MORE_DIRS ...] [DEPS ...])
function(quorvane_library name dir)
  cmake_parse_arguments(ARG "" "" "DEPS;MORE_DIRS" ${ARGN})
  set(sources)
  foreach(d ${dir} ${ARG_MORE_DIRS})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  if(NOT sources)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# One test executable per folder of tests; every TEST in it becomes a CTest test.
#   quorvane_test(NAME DIR [DEPS ...])
function(quorvane_test name dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} platform_testing GTest::gtest GTest::gmock GTest::gtest_main)
  target_precompile_headers(${name} PRIVATE <gtest/gtest.h>)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 120
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()
