# Cross-compiling for 64-bit Windows with mingw-w64 (Debian: g++-mingw-w64-x86-64-posix), and
# running what it builds under Wine (Debian: wine64):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The posix-thread flavour of the compilers: its C++ library has std::thread and std::mutex. The
# win32-thread flavour (the unsuffixed names on Debian) lacks them.
set(BMP2TVX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${BMP2TVX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BMP2TVX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${BMP2TVX_MINGW_TRIPLE}-windres)

# Headers, libraries and CMake packages come from the Windows sysroot only, never from the build
# machine's /usr; programs (code generators, Wine) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${BMP2TVX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Executables carry libgcc, libstdc++ and winpthread inside them, so that they run on any Windows
# (and under Wine) without the compiler's DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# Test programs run under Wine. Debian's wine64 package puts the 64-bit loader and its server in
# /usr/lib/wine, not on PATH (its /usr/bin/wine is a script that prefers a 32-bit loader when one
# is installed); other systems name them wine64 or, from Wine 9 on, wine, and wineserver. The
# wrapper makes a Wine prefix in the build folder on first use and keeps Wine's own output and
# background processes away from the tests' standard output and error.
find_program(BMP2TVX_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine
             DOC "Wine loader that runs the Windows test programs")
find_program(BMP2TVX_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine /usr/lib64/wine
             DOC "Wine server matching BMP2TVX_WINE")
set(BMP2TVX_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH
    "Wine prefix for running the Windows test programs (made on first use)")
if(BMP2TVX_WINE AND BMP2TVX_WINESERVER)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh" "${BMP2TVX_WINE}"
        "${BMP2TVX_WINESERVER}" "${BMP2TVX_WINEPREFIX}")
endif()
