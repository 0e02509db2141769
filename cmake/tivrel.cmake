# tivrel_library(NAME [DEPS ...]): a static library of every .cpp in the calling folder.
function(tivrel_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp "")
    set(sources ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# tivrel_test(FOLDER [DEPS ...]): a GoogleTest executable of every .cpp in
# tests/FOLDER (e.g. demo, tools/ovltool), named test_ and FOLDER with '/' as '_'
# (test_tools_ovltool), its tests registered with CTest under the prefix FOLDER with
# '/' as '.' (tools.ovltool.) and labelled FOLDER (ctest -L takes a regular
# expression: -L ovltool and -L tools both select tools/ovltool).
function(tivrel_test folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  string(REPLACE "/" "_" name ${folder})
  string(REPLACE "/" "." prefix ${folder})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(test_${name} ${sources})
  set_target_properties(test_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_include_directories(test_${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(test_${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(test_${name} PRIVATE
    TIVREL_BUILD_DIR="${CMAKE_BINARY_DIR}" TIVREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(test_${name} TEST_PREFIX ${prefix}. WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    PROPERTIES LABELS ${folder} DISCOVERY_TIMEOUT 60)
endfunction()
