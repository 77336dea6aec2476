# tavo_library(NAME DIR [QT]): a static library of every *.cpp in DIR (not its
# subfolders). Several people add files to one folder, so the folders glob.
function(tavo_library name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  file(GLOB headers CONFIGURE_DEPENDS ${dir}/*.h)
  if(NOT sources)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR})
  else()
    add_library(${name} STATIC ${sources} ${headers})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR})
  endif()
endfunction()

# tavo_test(NAME DIR LIBS...): one GoogleTest program of every *.cpp in DIR.
function(tavo_test name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources} ${CMAKE_SOURCE_DIR}/tests/TestHostProgram.cpp)
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    TAVO_SOURCE_DIR="${CMAKE_SOURCE_DIR}" TAVO_BINARY_DIR="${CMAKE_BINARY_DIR}")
  # The label is the program's name, so that a configuration can run a subset.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS ${name})
endfunction()
