# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the POSIX thread model, for
# std::thread and std::mutex) against the libraries that build-libraries.sh put in
# ROADSIM_WINDOWS_PREFIX.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(ROADSIM_WINDOWS_PREFIX "" CACHE PATH "The Windows libraries that build-libraries.sh built")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ROADSIM_WINDOWS_PREFIX)
set(CMAKE_FIND_ROOT_PATH ${ROADSIM_WINDOWS_PREFIX} /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Only the Windows libraries' modules, never the host's.
set(ENV{PKG_CONFIG_LIBDIR} ${ROADSIM_WINDOWS_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# The C++ runtime goes into the programs; the thread library is shipped beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# The test suites' programs run under Wine, not here: their tests are listed when CTest runs.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
