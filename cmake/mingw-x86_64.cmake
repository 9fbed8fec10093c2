# Cross toolchain for the 64-bit Windows build: the same code and settings
# as the i686 one (mingw-w64, POSIX threads, everything static), for hosts
# that run no 32-bit programs and for testing the x86_64 programs anywhere.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER   x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test binaries run under Wine. scripts/test.sh puts wrappers first on PATH
# that start the 64-bit loader and server directly (scripts/common.sh,
# use_wine64): Debian's "wine" would take the 32-bit loader whenever wine32
# is installed, which a host without IA-32 emulation cannot start.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
