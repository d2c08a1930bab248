# Cross-builds the core and glimmora-cli for 64-bit Windows with Debian's
# MinGW-w64 (posix threads, for std::thread and std::mutex):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64.cmake
# The window (Qt) and real boards (libusb) need Windows builds of those
# libraries, which are not packaged here: both are off. So are the tests that
# need GoogleTest; scripts/ci_windows.sh runs the script tests under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(GLIMMORA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${GLIMMORA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GLIMMORA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${GLIMMORA_MINGW_PREFIX}-windres)
set(CMAKE_STRIP ${GLIMMORA_MINGW_PREFIX}-strip CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${GLIMMORA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and winpthread go into the .exe, so it runs without
# MinGW's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Run the programs built here (tests, tools) through Wine when it is installed.
find_program(GLIMMORA_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(GLIMMORA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${GLIMMORA_WINE})
endif()

set(GLIMMORA_GUI OFF CACHE BOOL "No Qt for Windows here" FORCE)
set(GLIMMORA_LIBUSB OFF CACHE BOOL "No libusb for Windows here" FORCE)
set(GLIMMORA_BENCH OFF CACHE BOOL "No Google Benchmark for Windows here" FORCE)
set(BUILD_TESTING OFF CACHE BOOL "No GoogleTest for Windows here; the script tests run under Wine" FORCE)
