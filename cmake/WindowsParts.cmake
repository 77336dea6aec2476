# The parts that run under Wine: the plug-in bridge programs and the Windows
# test plug-ins, built with Debian's mingw-w64 cross compilers. One toolchain
# per project, so each architecture is a project of its own (cmake/windows)
# built as an external project of this one. Without the cross compilers the
# Windows parts are not built, and what needs them skips.
include(ExternalProject)

set(TAVO_WINDOWS_PLUGIN_DIR ${CMAKE_BINARY_DIR}/tests/winplugins)
set(TAVO_WINDOWS_ARCHITECTURES "")

foreach(arch i686 x86_64)
  find_program(TAVO_MINGW_${arch} ${arch}-w64-mingw32-gcc)
  if(NOT TAVO_MINGW_${arch})
    message(STATUS "${arch}-w64-mingw32-gcc not found: the ${arch} Windows plug-in bridge is not built")
    continue()
  endif()
  if(arch STREQUAL "i686")
    set(bits 32)
  else()
    set(bits 64)
  endif()
  ExternalProject_Add(windows_${arch}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/cmake/windows
    BINARY_DIR ${CMAKE_BINARY_DIR}/windows-${arch}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/windows/mingw-${arch}.cmake
      -DCMAKE_BUILD_TYPE=Release
      -DTAVO_SOURCE_DIR=${CMAKE_SOURCE_DIR}
      -DTAVO_BITS=${bits}
      -DTAVO_PROGRAM_DIR=${CMAKE_BINARY_DIR}/bin
      -DTAVO_PLUGIN_DIR=${TAVO_WINDOWS_PLUGIN_DIR}
      -DTAVO_WERROR=${TAVO_WERROR}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/bin/tavotavo-spi-bridge${bits}.exe)
  install(PROGRAMS ${CMAKE_BINARY_DIR}/bin/tavotavo-spi-bridge${bits}.exe DESTINATION ${TAVO_INSTALL_PROGRAM_DIR})
  list(APPEND TAVO_WINDOWS_ARCHITECTURES ${arch})
endforeach()
