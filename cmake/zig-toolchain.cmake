# Cross-compiles with zig for the target named by the cache variable
# ZIG_TARGET, written as zig writes targets: ARCH-OS[-ABI][.VERSION], e.g.
# x86_64-linux-gnu.2.17 (glibc 2.17 and later), aarch64-linux-gnu.2.17,
# x86_64-windows-gnu, aarch64-macos. zig brings the C library headers and
# link stubs of the version named, and links its own C++ runtime into the
# binary, so what comes out runs on every system of that target.
#
#   cmake -S . -B build/x -DCMAKE_TOOLCHAIN_FILE=cmake/zig-toolchain.cmake \
#         -DZIG_TARGET=aarch64-linux-gnu.2.17
#
# The compilers are the wrappers beside this file, which find zig (see
# cmake/zig).

if(NOT ZIG_TARGET)
  message(FATAL_ERROR "zig-toolchain.cmake needs -DZIG_TARGET=ARCH-OS[-ABI][.VERSION], e.g. x86_64-linux-gnu.2.17")
endif()
# try_compile projects load this file again: hand them the target.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZIG_TARGET)

string(REPLACE "-" ";" _zig_target_parts "${ZIG_TARGET}")
list(LENGTH _zig_target_parts _zig_target_length)
if(_zig_target_length LESS 2)
  message(FATAL_ERROR "ZIG_TARGET '${ZIG_TARGET}' is not ARCH-OS[-ABI][.VERSION]")
endif()
list(GET _zig_target_parts 0 _zig_arch)
list(GET _zig_target_parts 1 _zig_os)
# The OS part may carry a version too (aarch64-macos.11.0).
string(REGEX REPLACE "\\..*$" "" _zig_os "${_zig_os}")

if(_zig_os STREQUAL "linux")
  set(CMAKE_SYSTEM_NAME Linux)
elseif(_zig_os STREQUAL "windows")
  set(CMAKE_SYSTEM_NAME Windows)
elseif(_zig_os STREQUAL "macos")
  set(CMAKE_SYSTEM_NAME Darwin)
else()
  message(FATAL_ERROR "ZIG_TARGET '${ZIG_TARGET}': no CMake system name known for OS '${_zig_os}'")
endif()
set(CMAKE_SYSTEM_PROCESSOR "${_zig_arch}")

set(_zig_wrappers "${CMAKE_CURRENT_LIST_DIR}")
set(CMAKE_C_COMPILER "${_zig_wrappers}/zig-cc")
set(CMAKE_CXX_COMPILER "${_zig_wrappers}/zig-c++")
set(CMAKE_AR "${_zig_wrappers}/zig-ar" CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB "${_zig_wrappers}/zig-ranlib" CACHE FILEPATH "Archive indexer")
# The target goes on every compile and link line (CMake passes the language
# flags to the linking compiler too).
set(CMAKE_C_FLAGS_INIT "-target ${ZIG_TARGET}")
set(CMAKE_CXX_FLAGS_INIT "-target ${ZIG_TARGET}")

# The compiler checks build static libraries: linking a test program would
# make zig build its whole C++ runtime once more for that program alone.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# Nothing from the build machine's own libraries or headers.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
