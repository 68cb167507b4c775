# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (the posix thread model, which
# std::thread and std::mutex need):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# scripts/build-windows.sh does this, with the libraries from scripts/build-windows-deps.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUILLBOX_MINGW_HOST x86_64-w64-mingw32)

find_program(CMAKE_C_COMPILER ${QUILLBOX_MINGW_HOST}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER ${QUILLBOX_MINGW_HOST}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER ${QUILLBOX_MINGW_HOST}-windres)
find_program(CMAKE_AR ${QUILLBOX_MINGW_HOST}-ar)
find_program(CMAKE_RANLIB ${QUILLBOX_MINGW_HOST}-ranlib)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLBOX_MINGW_HOST})
if(DEFINED ENV{QUILLBOX_WINDOWS_PREFIX})
  list(APPEND CMAKE_FIND_ROOT_PATH $ENV{QUILLBOX_WINDOWS_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs that run on the build machine (none yet) would run through wine.
find_program(QUILLBOX_WINE wine)
if(QUILLBOX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLBOX_WINE})
endif()
