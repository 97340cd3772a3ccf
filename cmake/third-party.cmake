# libpng and zlib for the toolchains that come without them: Emscripten (the browser page) and
# mingw-w64 (the Windows build; Debian has no libpng for it). Their sources, as
# cmake/fetch-sources.sh fetches them from Debian into BMP2TVX_THIRD_PARTY_DIR, are compiled with
# this build's own toolchain while it is configured, into static libraries under third-party/ in
# the build folder. find_package(PNG) finds them there, so whatever reads or writes PNG files works
# as it does with a system's libpng, and the programs carry them inside (an .exe needs no DLL, the
# page no second module). Other builds use the system's libpng, as does a mingw-w64 build (MSYS2's)
# when the sources are not there.
#
# Sets BMP2TVX_THIRD_PARTY_FOUND (the sources are there) and BMP2TVX_PNG_ADVICE (what to do when no
# libpng is found, for configure's messages).
set(BMP2TVX_THIRD_PARTY_DIR "${PROJECT_SOURCE_DIR}/third_party" CACHE PATH
    "Folder with the libpng/ and zlib/ sources that Emscripten and mingw-w64 builds compile")
set(BMP2TVX_THIRD_PARTY_FOUND OFF)
if(EXISTS "${BMP2TVX_THIRD_PARTY_DIR}/libpng/CMakeLists.txt"
        AND EXISTS "${BMP2TVX_THIRD_PARTY_DIR}/zlib/CMakeLists.txt")
    set(BMP2TVX_THIRD_PARTY_FOUND ON)
endif()
string(CONCAT BMP2TVX_THIRD_PARTY_MISSING "the libpng and zlib sources that Emscripten and "
    "mingw-w64 builds compile are not in ${BMP2TVX_THIRD_PARTY_DIR} (cmake/fetch-sources.sh "
    "fetches them)")

string(CONCAT fetch_advice "cmake/fetch-sources.sh puts the libpng and zlib sources that this "
    "build compiles in ${BMP2TVX_THIRD_PARTY_DIR}")
if(EMSCRIPTEN)
    set(BMP2TVX_PNG_ADVICE "${fetch_advice}")
elseif(MINGW)
    set(BMP2TVX_PNG_ADVICE "${fetch_advice}; or in MSYS2, pacman -S mingw-w64-ucrt-x86_64-libpng")
else()
    string(CONCAT BMP2TVX_PNG_ADVICE "Debian/Ubuntu: apt install libpng-dev; macOS: brew install "
        "libpng; MSYS2: pacman -S mingw-w64-ucrt-x86_64-libpng; vcpkg: vcpkg install libpng")
    return()
endif()
if(NOT BMP2TVX_THIRD_PARTY_FOUND)
    return()
endif()

# Each library is configured, built and installed as a project of its own, with this build's
# toolchain and generator. The page's are made small, the Windows ones fast.
set(third_party "${CMAKE_BINARY_DIR}/third-party")
set(third_party_prefix "${third_party}/prefix")
set(third_party_type Release)
set(third_party_settings "")
if(EMSCRIPTEN)
    # Nothing of the processor's own (libpng's x86 filters are SSE2 code). zlib's CRC tables, which
    # check every chunk of a PNG, are computed at the first check instead of being carried in the
    # page's WebAssembly (4.5 KB less to download; the page runs one thread, which zlib asks of it).
    set(third_party_type MinSizeRel)
    set(third_party_settings -DPNG_HARDWARE_OPTIMIZATIONS=OFF -DCMAKE_C_FLAGS=-DDYNAMIC_CRC_TABLE)
endif()
# As many jobs as the build itself is asked to run (CMAKE_BUILD_PARALLEL_LEVEL), else one for each
# of the machine's cores.
cmake_host_system_information(RESULT third_party_jobs QUERY NUMBER_OF_LOGICAL_CORES)
if(DEFINED ENV{CMAKE_BUILD_PARALLEL_LEVEL} AND "$ENV{CMAKE_BUILD_PARALLEL_LEVEL}" MATCHES "^[1-9][0-9]*$")
    set(third_party_jobs $ENV{CMAKE_BUILD_PARALLEL_LEVEL})
endif()
# The toolchain file as CMake finds it: a relative path (as the first configure was given it, and
# as the cache keeps it) is taken from the build folder, else from the source tree.
set(third_party_toolchain "${CMAKE_TOOLCHAIN_FILE}")
if(third_party_toolchain AND NOT IS_ABSOLUTE "${third_party_toolchain}")
    set(third_party_toolchain "${CMAKE_BINARY_DIR}/${CMAKE_TOOLCHAIN_FILE}")
    if(NOT EXISTS "${third_party_toolchain}")
        set(third_party_toolchain "${CMAKE_SOURCE_DIR}/${CMAKE_TOOLCHAIN_FILE}")
    endif()
endif()

# Run as a step of building one library; its output goes to NAME.log, shown only if it fails.
function(bmp2tvx_third_party_step name)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed
        OUTPUT_FILE "${third_party}/${name}.log" ERROR_FILE "${third_party}/${name}.log")
    if(failed)
        file(READ "${third_party}/${name}.log" log)
        message(FATAL_ERROR "${log}\nCould not build ${name} from ${BMP2TVX_THIRD_PARTY_DIR}/${name} "
            "(its output is above, and in ${third_party}/${name}.log).")
    endif()
endfunction()

function(bmp2tvx_build_third_party name)
    set(build "${third_party}/${name}-build")
    file(REMOVE_RECURSE "${build}")
    bmp2tvx_third_party_step(${name} "${CMAKE_COMMAND}" -S "${BMP2TVX_THIRD_PARTY_DIR}/${name}"
        -B "${build}" -G "${CMAKE_GENERATOR}" -DCMAKE_MAKE_PROGRAM=${CMAKE_MAKE_PROGRAM}
        -DCMAKE_TOOLCHAIN_FILE=${third_party_toolchain} -DCMAKE_BUILD_TYPE=${third_party_type}
        -DCMAKE_INSTALL_PREFIX=${third_party_prefix} ${third_party_settings} ${ARGN})
    if(name STREQUAL "zlib")
        # Only the static library; zlib's install would build its DLL and example programs too.
        bmp2tvx_third_party_step(${name} "${CMAKE_COMMAND}" --build "${build}" --config
            ${third_party_type} --parallel ${third_party_jobs} --target zlibstatic)
        file(GLOB_RECURSE archive "${build}/libz.a" "${build}/libzlibstatic.a")
        file(COPY "${BMP2TVX_THIRD_PARTY_DIR}/zlib/zlib.h" "${build}/zconf.h"
            DESTINATION "${third_party_prefix}/include")
        file(COPY_FILE "${archive}" "${third_party_prefix}/lib/libz.a")
    else()
        bmp2tvx_third_party_step(${name} "${CMAKE_COMMAND}" --build "${build}" --config
            ${third_party_type} --parallel ${third_party_jobs})
        bmp2tvx_third_party_step(${name} "${CMAKE_COMMAND}" --install "${build}" --config
            ${third_party_type})
    endif()
endfunction()

# Built once, and again only when the sources' versions, the toolchain or the settings change.
file(STRINGS "${BMP2TVX_THIRD_PARTY_DIR}/libpng/debian/changelog" png_version LIMIT_COUNT 1)
file(STRINGS "${BMP2TVX_THIRD_PARTY_DIR}/zlib/debian/changelog" zlib_version LIMIT_COUNT 1)
string(CONCAT made_from "${BMP2TVX_THIRD_PARTY_DIR}\n${png_version}\n${zlib_version}\n"
    "${third_party_toolchain}\n${CMAKE_CXX_COMPILER}\n${third_party_type}\n"
    "${third_party_settings}\n")
set(stamp "${third_party_prefix}/made-from.txt")
set(stale ON)
if(EXISTS "${stamp}")
    file(READ "${stamp}" made_before)
    string(COMPARE NOTEQUAL "${made_before}" "${made_from}" stale)
endif()
if(stale)
    message(STATUS "Building zlib and libpng from ${BMP2TVX_THIRD_PARTY_DIR} for this toolchain")
    file(REMOVE_RECURSE "${third_party}")
    file(MAKE_DIRECTORY "${third_party_prefix}/lib")
    bmp2tvx_build_third_party(zlib)
    bmp2tvx_build_third_party(libpng -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF
        -DPNG_EXECUTABLES=OFF -DZLIB_INCLUDE_DIR=${third_party_prefix}/include
        -DZLIB_LIBRARY=${third_party_prefix}/lib/libz.a)
    file(WRITE "${stamp}" "${made_from}")
endif()
message(STATUS "libpng and zlib: built from ${BMP2TVX_THIRD_PARTY_DIR} in ${third_party_prefix}")

# The toolchains search their own system folders only (CMAKE_FIND_ROOT_PATH); the prefix is made
# one of them, and searched first.
list(APPEND CMAKE_FIND_ROOT_PATH "${third_party_prefix}")
list(PREPEND CMAKE_PREFIX_PATH "${third_party_prefix}")
