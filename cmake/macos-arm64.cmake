# Cross-builds the macOS helper on Linux: an arm64 executable for macOS 13 or
# later, compiled and linked with Debian's clang-14 and lld-14 against Apple's
# SDK.
#
#   cmake -S . -B build-macos -DCMAKE_TOOLCHAIN_FILE=cmake/macos-arm64.cmake
#   cmake --build build-macos
#
# The SDK comes as a tarball in ORLIMBO_MACOS_SDK_DIR (a -D option or an
# environment variable; by default ../shared/macos-sdk beside the checkout),
# together with an overlay that stands in for AVFoundation's audio-capture
# authorization. The tarball is unpacked into the build tree. Its link stubs
# carry no re-exports, so CoreFoundation and libobjc are linked by name.
#
# On a Mac none of this is needed: configure without a toolchain file.

set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR arm64)
set(CMAKE_SYSTEM_VERSION 22.0)  # Darwin 22 is macOS 13
set(CMAKE_OSX_ARCHITECTURES arm64 CACHE STRING "")
set(CMAKE_OSX_DEPLOYMENT_TARGET 13.0 CACHE STRING "")

set(ORLIMBO_MACOS_CROSS ON)
set(ORLIMBO_MACOS_TRIPLE arm64-apple-macos13)

# try_compile projects load this file again from a build tree of their own;
# they are handed the paths found by the first load.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ORLIMBO_MACOS_SDK_DIR ORLIMBO_MACOS_SYSROOT)

if(NOT ORLIMBO_MACOS_SDK_DIR)
  if(DEFINED ENV{ORLIMBO_MACOS_SDK_DIR})
    set(ORLIMBO_MACOS_SDK_DIR "$ENV{ORLIMBO_MACOS_SDK_DIR}")
  else()
    get_filename_component(ORLIMBO_MACOS_SDK_DIR "${CMAKE_CURRENT_LIST_DIR}/../../shared/macos-sdk"
                           ABSOLUTE)
  endif()
endif()

set(_orlimbo_sdk_archive "${ORLIMBO_MACOS_SDK_DIR}/MacOSX12.0.sdk.tar.xz")
set(_orlimbo_overlay "${ORLIMBO_MACOS_SDK_DIR}/overlay")
if(NOT EXISTS "${_orlimbo_sdk_archive}" OR NOT IS_DIRECTORY "${_orlimbo_overlay}")
  message(FATAL_ERROR "No macOS SDK in ${ORLIMBO_MACOS_SDK_DIR}: it needs MacOSX12.0.sdk.tar.xz "
                      "and overlay/. Set ORLIMBO_MACOS_SDK_DIR to the folder that holds them.")
endif()

if(NOT ORLIMBO_MACOS_SYSROOT)
  set(_orlimbo_sdk_parent "${CMAKE_BINARY_DIR}/macos-sdk")
  set(ORLIMBO_MACOS_SYSROOT "${_orlimbo_sdk_parent}/MacOSX12.0.sdk")
  # Unpacked once per build tree; the stamp says the unpacking finished.
  if(NOT EXISTS "${_orlimbo_sdk_parent}/unpacked.stamp")
    file(REMOVE_RECURSE "${_orlimbo_sdk_parent}")
    file(MAKE_DIRECTORY "${_orlimbo_sdk_parent}")
    file(ARCHIVE_EXTRACT INPUT "${_orlimbo_sdk_archive}" DESTINATION "${_orlimbo_sdk_parent}")
    if(NOT IS_DIRECTORY "${ORLIMBO_MACOS_SYSROOT}/usr/include")
      message(FATAL_ERROR "${_orlimbo_sdk_archive} holds no MacOSX12.0.sdk")
    endif()
    file(TOUCH "${_orlimbo_sdk_parent}/unpacked.stamp")
  endif()
endif()
set(CMAKE_OSX_SYSROOT "${ORLIMBO_MACOS_SYSROOT}" CACHE PATH "" FORCE)

find_program(ORLIMBO_CLANG clang-14 REQUIRED)
find_program(ORLIMBO_CLANGXX clang++-14 REQUIRED)
find_program(CMAKE_AR llvm-ar-14 REQUIRED)
find_program(CMAKE_RANLIB llvm-ranlib-14 REQUIRED)
find_program(CMAKE_INSTALL_NAME_TOOL llvm-install-name-tool-14)
set(CMAKE_C_COMPILER "${ORLIMBO_CLANG}")
set(CMAKE_CXX_COMPILER "${ORLIMBO_CLANGXX}")
set(CMAKE_OBJCXX_COMPILER "${ORLIMBO_CLANGXX}")
set(CMAKE_ASM_COMPILER "${ORLIMBO_CLANG}")
foreach(lang C CXX OBJCXX ASM)
  set(CMAKE_${lang}_COMPILER_TARGET ${ORLIMBO_MACOS_TRIPLE})
  set(CMAKE_${lang}_FLAGS_INIT "-F${_orlimbo_overlay}")
endforeach()
set(CMAKE_CXX_FLAGS_INIT "${CMAKE_CXX_FLAGS_INIT} -stdlib=libc++")
set(CMAKE_OBJCXX_FLAGS_INIT "${CMAKE_OBJCXX_FLAGS_INIT} -stdlib=libc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -F${_orlimbo_overlay}")

# Find only what the SDK and the build tree provide, never the build machine's
# own headers and libraries; programs still come from the build machine.
set(CMAKE_FIND_ROOT_PATH "${ORLIMBO_MACOS_SYSROOT}" "${CMAKE_BINARY_DIR}/macos-deps")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
