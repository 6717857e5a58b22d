# Cross-compiling for 64-bit Windows with Debian's mingw-w64 GCC, against
# the msvcrt C runtime it defaults to. The posix thread model is named
# explicitly: GCC 12's win32 model has no std::mutex or std::thread.
#
# STRATAVOX_WINDOWS_PREFIX is the folder scripts/windows-deps installs the
# Windows builds of the dependencies in; it is searched after the mingw
# system root, and pkg-config looks only there.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

set(STRATAVOX_WINDOWS_PREFIX "" CACHE PATH "Windows dependency prefix (scripts/windows-deps)")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES STRATAVOX_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX} ${STRATAVOX_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(ENV{PKG_CONFIG_LIBDIR} "${STRATAVOX_WINDOWS_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# Test programs run under Wine (ctest, and test discovery before each run).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
