# GoogleTest for the tests: GTest::gtest, GTest::gtest_main and gtest_discover_tests().
#
# A native build uses the installed package. A cross-build for Windows cannot link the build
# machine's libraries, so it compiles GoogleTest from source with the same compiler as everything
# else; Debian's googletest package installs those sources under /usr/src/googletest.
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
    # Its sources are not written for our -Wall -Wextra -Wpedantic -Werror, which the targets
    # inherit from our folders; -w silences every warning, so -Werror has nothing to act on.
    foreach(target gtest gtest_main)
        target_compile_options(${target} PRIVATE -w)
    endforeach()

    # Discovering the tests means running each test program, here under Wine. Doing it when CTest
    # starts rather than after each link keeps Wine out of the build (a machine without it can
    # still build), and a discovery failure shows up as a failed test instead of a failed build.
    set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
else()
    find_package(GTest REQUIRED)
endif()
include(GoogleTest)
