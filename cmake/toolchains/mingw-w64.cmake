# Cross-builds the programs for 64-bit Windows with Debian's MinGW-w64 (posix
# threads, for std::thread and std::mutex):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64.cmake
# The window (Qt) and real boards (libusb) need Windows builds of those
# libraries: scripts/build_windows_deps.sh makes both, static, in a cache
# (GLIMMORA_WIN_DEPS, default ~/.cache/glimmora/win-deps), building Qt with
# this same file. Where the cache holds them they are used; otherwise only
# glimmora-cli on the simulated board is built. The tests that need GoogleTest
# are off; scripts/ci_windows.sh runs the script tests under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(GLIMMORA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${GLIMMORA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GLIMMORA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${GLIMMORA_MINGW_PREFIX}-windres)
set(CMAKE_STRIP ${GLIMMORA_MINGW_PREFIX}-strip CACHE FILEPATH "")

if(NOT DEFINED GLIMMORA_WIN_DEPS)
  if(DEFINED ENV{GLIMMORA_WIN_DEPS})
    set(GLIMMORA_WIN_DEPS "$ENV{GLIMMORA_WIN_DEPS}")
  else()
    set(GLIMMORA_WIN_DEPS "$ENV{HOME}/.cache/glimmora/win-deps")
  endif()
endif()
set(GLIMMORA_WIN_DEPS "${GLIMMORA_WIN_DEPS}" CACHE PATH "Windows builds of Qt and libusb (scripts/build_windows_deps.sh)")

# The MinGW root first, then the cached libraries: each is a root of its own,
# so that a search never leaves them for the build machine's libraries.
set(CMAKE_FIND_ROOT_PATH /usr/${GLIMMORA_MINGW_PREFIX})
set(GLIMMORA_WIN_QT "${GLIMMORA_WIN_DEPS}/qt")
set(GLIMMORA_WIN_LIBUSB "${GLIMMORA_WIN_DEPS}/libusb")
set(glimmora_have_qt OFF)
set(glimmora_have_libusb OFF)
if(EXISTS "${GLIMMORA_WIN_QT}/lib/cmake/Qt6/Qt6Config.cmake")
  set(glimmora_have_qt ON)
  list(APPEND CMAKE_FIND_ROOT_PATH "${GLIMMORA_WIN_QT}")
  list(APPEND CMAKE_PREFIX_PATH "${GLIMMORA_WIN_QT}")
endif()
# Qt's code generators (moc, rcc, uic) come from the build machine's Qt of the
# same version, for Qt's own build as for the programs'. Debian keeps its
# CMake files below the machine's multiarch triplet, which its compiler names.
if(NOT QT_HOST_PATH_CMAKE_DIR)
  execute_process(COMMAND gcc -dumpmachine OUTPUT_VARIABLE glimmora_host_triplet
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  set(QT_HOST_PATH /usr CACHE PATH "Where the build machine's Qt is installed")
  set(QT_HOST_PATH_CMAKE_DIR "${QT_HOST_PATH}/lib/${glimmora_host_triplet}/cmake"
      CACHE PATH "The CMake files of the build machine's Qt")
endif()
if(EXISTS "${GLIMMORA_WIN_LIBUSB}/lib/libusb-1.0.a")
  set(glimmora_have_libusb ON)
  list(APPEND CMAKE_FIND_ROOT_PATH "${GLIMMORA_WIN_LIBUSB}")
  # pkg-config reads only the cached libusb's description, never the build
  # machine's.
  set(ENV{PKG_CONFIG_LIBDIR} "${GLIMMORA_WIN_LIBUSB}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
endif()
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

set(GLIMMORA_GUI ${glimmora_have_qt} CACHE BOOL "The window, with the cached Qt for Windows" FORCE)
set(GLIMMORA_LIBUSB ${glimmora_have_libusb} CACHE BOOL "Real boards, with the cached libusb for Windows" FORCE)
set(GLIMMORA_BENCH OFF CACHE BOOL "No Google Benchmark for Windows here" FORCE)
set(BUILD_TESTING OFF CACHE BOOL "No GoogleTest for Windows here; the script tests run under Wine" FORCE)
