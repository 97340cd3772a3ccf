# GoogleTest for the tests: GTest::gtest, GTest::gtest_main and gtest_discover_tests().
# BMP2TVX_HAVE_GTEST says whether it is there; when it is not, BMP2TVX_GTEST_MISSING says why.
#
# A native build uses the installed package, and where none is installed downloads the pinned
# release below and builds it with the tests. A machine with neither (no package, no network)
# still configures and builds the tools: the tests are then left out, and configure says why.
# A cross-build for Windows cannot link the build machine's libraries, so it compiles GoogleTest
# from source with the same compiler as everything else; Debian's googletest package installs
# those sources under /usr/src/googletest.
set(BMP2TVX_HAVE_GTEST ON)
set(BMP2TVX_GTEST_MISSING "")
if(CMAKE_CROSSCOMPILING AND WIN32)
    set(BMP2TVX_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
        "GoogleTest sources, compiled for cross-builds")
    if(NOT EXISTS "${BMP2TVX_GOOGLETEST_SOURCE}/googletest/CMakeLists.txt")
        message(FATAL_ERROR "Cross-building the tests needs the GoogleTest sources in "
            "BMP2TVX_GOOGLETEST_SOURCE (${BMP2TVX_GOOGLETEST_SOURCE}): on Debian or Ubuntu, "
            "apt install googletest; or set BMP2TVX_GOOGLETEST_SOURCE to a googletest checkout, "
            "or configure with -DBUILD_TESTING=OFF.")
    endif()
    # GoogleTest's own options: no GoogleMock, nothing to install. (gtest_force_shared_crt only
    # matters to MSVC.)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    # SYSTEM: its headers are system headers to our tests, so our warning flags do not apply to
    # them; EXCLUDE_FROM_ALL: only what the tests link is built.
    add_subdirectory("${BMP2TVX_GOOGLETEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest"
                     EXCLUDE_FROM_ALL SYSTEM)

    # Discovering the tests means running each test program, here under Wine. Doing it when CTest
    # starts rather than after each link keeps Wine out of the build (a machine without it can
    # still build), and a discovery failure shows up as a failed test instead of a failed build.
    set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
else()
    # The release Debian 12 ships, so that a downloaded GoogleTest is the one the system one would
    # be. The hash is that of GitHub's archive of the release-1.12.1 tag.
    set(BMP2TVX_GTEST_URL
        "https://github.com/google/googletest/archive/refs/tags/release-1.12.1.tar.gz")
    set(BMP2TVX_GTEST_SHA256 81964fe578e9bd7c94dfdb09c8e4d6e6759e19967e397dbea48d1c10e45d0df2)
    option(BMP2TVX_FETCH_GTEST "Download GoogleTest when it is not installed" ON)

    # The content is named after the package, so that FetchContent_MakeAvailable first tries
    # find_package(GTest) (config file or CMake's FindGTest), exactly as the check below does.
    include(FetchContent)
    set(download_dir "${CMAKE_BINARY_DIR}/_deps/gtest-download")
    set(archive "${download_dir}/googletest-release-1.12.1.tar.gz")
    FetchContent_Declare(GTest
        URL "${BMP2TVX_GTEST_URL}"
        URL_HASH SHA256=${BMP2TVX_GTEST_SHA256}
        DOWNLOAD_DIR "${download_dir}"
        DOWNLOAD_NAME googletest-release-1.12.1.tar.gz
        DOWNLOAD_EXTRACT_TIMESTAMP ON
        FIND_PACKAGE_ARGS)

    # FetchContent stops configure with an error when its download fails, after minutes of
    # retries. So when the package is not installed, fetch the archive here first, where a failure
    # only leaves the tests out; FetchContent then finds it in place, checks its hash again and
    # does not download it a second time.
    find_package(GTest QUIET)
    if(NOT GTest_FOUND AND NOT BMP2TVX_FETCH_GTEST)
        set(BMP2TVX_GTEST_MISSING "GoogleTest is not installed (BMP2TVX_FETCH_GTEST is OFF)")
    elseif(NOT GTest_FOUND AND FETCHCONTENT_SOURCE_DIR_GTEST)
        # Sources the user named: nothing to download.
    elseif(NOT GTest_FOUND AND FETCHCONTENT_FULLY_DISCONNECTED)
        if(NOT EXISTS "${FETCHCONTENT_BASE_DIR}/gtest-src/CMakeLists.txt")
            string(CONCAT BMP2TVX_GTEST_MISSING "GoogleTest is not installed, and was not "
                "downloaded before (FETCHCONTENT_FULLY_DISCONNECTED forbids downloading it now)")
        endif()
    elseif(NOT GTest_FOUND)
        set(hash "")
        if(EXISTS "${archive}")
            file(SHA256 "${archive}" hash)
        endif()
        if(NOT hash STREQUAL BMP2TVX_GTEST_SHA256)
            message(STATUS "GoogleTest is not installed; downloading ${BMP2TVX_GTEST_URL}")
            file(DOWNLOAD "${BMP2TVX_GTEST_URL}" "${archive}.part" STATUS status
                 TIMEOUT 60 INACTIVITY_TIMEOUT 20)
            list(GET status 0 code)
            list(GET status 1 reason)
            string(REPLACE "\"" "" reason "${reason}")
            if(code EQUAL 0)
                file(SHA256 "${archive}.part" hash)
            endif()
            if(NOT code EQUAL 0)
                file(REMOVE "${archive}.part")
                set(BMP2TVX_GTEST_MISSING
                    "GoogleTest is not installed and could not be downloaded (${reason})")
            elseif(NOT hash STREQUAL BMP2TVX_GTEST_SHA256)
                # Not the pinned release (or a proxy's error page): never build it.
                file(REMOVE "${archive}.part")
                string(CONCAT BMP2TVX_GTEST_MISSING "GoogleTest is not installed, and what was "
                    "downloaded from ${BMP2TVX_GTEST_URL} has SHA-256 ${hash}, not the pinned "
                    "release's ${BMP2TVX_GTEST_SHA256}")
            else()
                file(RENAME "${archive}.part" "${archive}")
            endif()
        endif()
    endif()

    if(BMP2TVX_GTEST_MISSING STREQUAL "")
        # A downloaded GoogleTest is built with the tests: no GoogleMock, nothing installed.
        set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
        FetchContent_MakeAvailable(GTest)
        if(TARGET gtest)
            # Built from source: as above, its headers are system headers to our tests.
            # (FetchContent_Declare's own SYSTEM option would reach the download step in this
            # CMake version and spoil DOWNLOAD_NAME.)
            set_target_properties(gtest gtest_main PROPERTIES SYSTEM ON)
        endif()
    endif()
endif()

if(NOT BMP2TVX_GTEST_MISSING STREQUAL "")
    set(BMP2TVX_HAVE_GTEST OFF)
    message(STATUS "The tests are left out: ${BMP2TVX_GTEST_MISSING}. The tools build without "
        "it; for the tests, install GoogleTest (Debian/Ubuntu: apt install libgtest-dev; macOS: "
        "brew install googletest; MSYS2: pacman -S mingw-w64-ucrt-x86_64-gtest; vcpkg: vcpkg "
        "install gtest) or let configure download it, and configure again.")
    return()
endif()
include(GoogleTest)
