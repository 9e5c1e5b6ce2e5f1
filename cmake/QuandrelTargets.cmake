# A library is every .cpp in its folder (subfolders included, except those named after
# EXCLUDE, which are libraries or programs of their own). Headers are found from the
# repository root, so includes read "shared/core/Guid.h".
function(qd_library name dir)
  cmake_parse_arguments(PARSE_ARGV 2 _a "" "" "EXCLUDE")
  file(GLOB_RECURSE _src CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/${dir}/*.cpp")
  file(GLOB_RECURSE _hdr CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/${dir}/*.h")
  foreach(_x ${_a_EXCLUDE})
    list(FILTER _src EXCLUDE REGEX "/${dir}/${_x}/")
    list(FILTER _hdr EXCLUDE REGEX "/${dir}/${_x}/")
  endforeach()
  set(ARGN ${_a_UNPARSED_ARGUMENTS})
  if(_src)
    add_library(${name} STATIC ${_src} ${_hdr})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARGN})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# One GoogleTest executable per test folder; widget tests run on the offscreen platform.
function(qd_test name dir)
  cmake_parse_arguments(PARSE_ARGV 2 _a "" "" "EXCLUDE")
  file(GLOB_RECURSE _src CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp")
  foreach(_x ${_a_EXCLUDE})
    list(FILTER _src EXCLUDE REGEX "/${dir}/${_x}/")
  endforeach()
  set(ARGN ${_a_UNPARSED_ARGUMENTS})
  if(NOT _src)
    return()
  endif()
  add_executable(${name} ${_src})
  target_link_libraries(${name} PRIVATE ${ARGN} qd_testsupport GTest::gtest GTest::gmock)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
endfunction()
