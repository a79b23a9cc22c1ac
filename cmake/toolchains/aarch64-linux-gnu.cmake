# 64-bit ARM Linux with Debian's cross compiler (g++-aarch64-linux-gnu). The
# programs built run here under qemu-user, which ctest and the test
# discovery use as the emulator.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(stylo_arm_prefix aarch64-linux-gnu)
find_program(CMAKE_CXX_COMPILER NAMES ${stylo_arm_prefix}-g++ REQUIRED)
# GoogleTest's project enables C as well.
find_program(CMAKE_C_COMPILER NAMES ${stylo_arm_prefix}-gcc REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${stylo_arm_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(stylo_qemu NAMES qemu-aarch64 qemu-aarch64-static)
if(stylo_qemu)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${stylo_qemu} -L /usr/${stylo_arm_prefix})
endif()
