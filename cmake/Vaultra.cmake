# Shared helpers for the project's targets.

# Public C headers of the libraries (include <vaultra/...>) and the source root for internal
# headers (include "platform/files.h", "app/element.h", ...).
add_library(vaultra_headers INTERFACE)
target_include_directories(vaultra_headers INTERFACE
  ${PROJECT_SOURCE_DIR}/include
  ${PROJECT_SOURCE_DIR})

# vaultra_add_test(NAME name SOURCES a.cpp b.cpp LIBS lib1 lib2 [TIMEOUT s])
# One GoogleTest executable per module, registered as one ctest test.
function(vaultra_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} vaultra_headers GTest::gmock GTest::gtest_main)
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "VAULTRA_BIN_DIR=${CMAKE_BINARY_DIR}/bin;VAULTRA_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# vaultra_add_bench(NAME name SOURCES a.cpp LIBS lib1)
function(vaultra_add_bench)
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${B_NAME} ${B_SOURCES})
  target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} vaultra_headers benchmark::benchmark)
  set_target_properties(${B_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# vaultra_driver_library(NAME CORE FLAVOUR [DEFINITIONS...])
# One PLC driver library: the family's exports.cpp over its core and one link flavour, exporting only the
# names of the family's exports.map.
function(vaultra_driver_library name core flavour)
  add_library(${name} SHARED exports.cpp)
  target_link_libraries(${name} PRIVATE ${core} vaultra_link_${flavour} ${core} vaultra_platform)
  target_compile_definitions(${name} PRIVATE ${ARGN})
  target_link_options(${name} PRIVATE -Wl,--no-undefined
    -Wl,--version-script=${CMAKE_CURRENT_SOURCE_DIR}/exports.map)
  set_target_properties(${name} PROPERTIES LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/exports.map)
endfunction()
