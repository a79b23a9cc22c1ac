# Windows x86-64 with Debian's mingw-w64 cross compiler (g++-mingw-w64-x86-64).
# The programs built run here under wine, which ctest and the test discovery
# use as the emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(stylo_mingw_prefix x86_64-w64-mingw32)
# The POSIX-threads flavour of the runtime: GoogleTest needs std::mutex.
find_program(CMAKE_CXX_COMPILER NAMES ${stylo_mingw_prefix}-g++-posix ${stylo_mingw_prefix}-g++ REQUIRED)
# GoogleTest's project enables C as well.
find_program(CMAKE_C_COMPILER NAMES ${stylo_mingw_prefix}-gcc-posix ${stylo_mingw_prefix}-gcc REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${stylo_mingw_prefix}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${stylo_mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No DLL beyond those Windows ships: the C++ and GCC runtimes and the
# threads library are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(stylo_wine NAMES wine64 wine PATHS /usr/lib/wine)
if(stylo_wine)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${stylo_wine})
endif()
