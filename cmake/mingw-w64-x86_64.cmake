# Cross-building for 64-bit Windows on Debian with MinGW-w64 (the posix thread model: the win32
# one has no std::thread). ZKLOG_WIN_PREFIX is the folder scripts/windows-deps built the
# libraries into, ZKLOG_WIN_QT_PREFIX the one scripts/windows-qt built Qt into; the .exe files
# run here under Wine, which ctest uses as their emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZKLOG_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${ZKLOG_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZKLOG_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ZKLOG_MINGW}-windres)

# try_compile projects see only the cache variables listed here.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZKLOG_WIN_PREFIX ZKLOG_WIN_QT_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/${ZKLOG_MINGW} ${ZKLOG_WIN_PREFIX} ${ZKLOG_WIN_QT_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Headers of the libraries built for Windows, as the system's own are in /usr/include (and as
# <modbus/modbus.h> is found there on Linux).
if(ZKLOG_WIN_PREFIX)
    set(CMAKE_C_STANDARD_INCLUDE_DIRECTORIES ${ZKLOG_WIN_PREFIX}/include)
    set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${ZKLOG_WIN_PREFIX}/include)
endif()

# pkg-config must see the Windows libmodbus only, never the system's.
if(ZKLOG_WIN_PREFIX)
    set(ENV{PKG_CONFIG_LIBDIR} ${ZKLOG_WIN_PREFIX}/lib/pkgconfig)
    set(ENV{PKG_CONFIG_PATH} "")
endif()

# A Wine prefix of the build folder's own, quiet, and without the .NET and HTML engines that a
# new prefix would otherwise offer to install.
find_program(ZKLOG_WINE wine)
if(ZKLOG_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${CMAKE_BINARY_DIR}/wine WINEDEBUG=-all
        WINEDLLOVERRIDES=mscoree,mshtml= ${ZKLOG_WINE})
endif()
