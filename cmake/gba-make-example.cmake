# The example game built a second way: by examples/gba/Makefile, in the layout of devkitPro's
# template, converting its pictures through make/bmp2tvx.mk with the host bmp2tvx built here. It
# needs what the CMake-built example needs (see BMP2TVX_GBA_MISSING) and GNU make; without them it
# is left out, and the tests that use it say why. Its ROMs, and a build folder for each, go to
# BMP2TVX_GBA_MAKE_ROMS; the source tree gets nothing.
set(BMP2TVX_GBA_MAKE_ROMS "${CMAKE_CURRENT_BINARY_DIR}/examples/gba-make")
set(BMP2TVX_GBA_MAKE_MISSING "${BMP2TVX_GBA_MISSING}")
if(NOT BMP2TVX_GBA_MAKE_MISSING)
    find_program(BMP2TVX_MAKE NAMES gmake make DOC "GNU make, for the example game's Makefile")
    set(make_version "")
    if(BMP2TVX_MAKE)
        execute_process(COMMAND "${BMP2TVX_MAKE}" --version OUTPUT_VARIABLE make_version
            ERROR_QUIET)
    endif()
    if(NOT make_version MATCHES "GNU Make")
        set(BMP2TVX_GBA_MAKE_MISSING "GNU make (gmake or make) was not found when configuring")
    endif()
endif()
if(BMP2TVX_GBA_MAKE_MISSING)
    message(STATUS "Not building the GBA example with make: ${BMP2TVX_GBA_MAKE_MISSING}")
else()
    # The Makefile's PREFIX: the path of arm-none-eabi-gcc without "gcc". Under a Makefile
    # generator the build step inherits MAKEFLAGS naming a job server it cannot reach, which make
    # would warn about: it runs without them (one job; the game is small).
    string(REGEX REPLACE "gcc$" "" arm_prefix "${BMP2TVX_ARM_GCC}")
    include(ExternalProject)
    ExternalProject_Add(gba_make_example
        SOURCE_DIR "${CMAKE_CURRENT_SOURCE_DIR}/examples/gba"
        BINARY_DIR "${BMP2TVX_GBA_MAKE_ROMS}"
        CONFIGURE_COMMAND ""
        BUILD_COMMAND "${CMAKE_COMMAND}" -E env --unset=MAKEFLAGS "${BMP2TVX_MAKE}"
            --no-print-directory -C <SOURCE_DIR> "BUILD=<BINARY_DIR>" "PREFIX=${arm_prefix}"
            "BMP2TVX=$<TARGET_FILE:bmp2tvx>"
        BUILD_ALWAYS ON
        INSTALL_COMMAND ""
        DEPENDS bmp2tvx)
endif()
