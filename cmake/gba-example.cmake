# The example game for the handheld (examples/gba/): a separate project built with
# arm-none-eabi-gcc and its own toolchain file, once the host bmp2tvx that converts its pictures is
# built. The host build never needs it: without arm-none-eabi-gcc it is left out, and the emulator
# test that runs it says why it is skipped.
set(BMP2TVX_GBA_ROMS "${CMAKE_CURRENT_BINARY_DIR}/examples/gba")
set(BMP2TVX_GBA_MISSING "")
if(BMP2TVX_GBA_EXAMPLE)
    find_program(BMP2TVX_ARM_GCC arm-none-eabi-gcc)
    if(BMP2TVX_ARM_GCC AND CMAKE_CROSSCOMPILING)
        set(BMP2TVX_GBA_MISSING
            "this build cross-compiles, and its bmp2tvx cannot convert the game's pictures here")
        message(STATUS "Not building the GBA example: ${BMP2TVX_GBA_MISSING}")
    elseif(BMP2TVX_ARM_GCC AND NOT BMP2TVX_READS_PNG)
        set(BMP2TVX_GBA_MISSING
            "this build of bmp2tvx reads no PNG files, and the game's sprites are PNG files")
        message(STATUS "Not building the GBA example: ${BMP2TVX_GBA_MISSING}")
    elseif(BMP2TVX_ARM_GCC AND CMAKE_GENERATOR MATCHES "Visual Studio|Xcode")
        # The example is built with the same generator, and these drive only their own compilers.
        set(BMP2TVX_GBA_MISSING "the GBA example needs a Makefile or Ninja generator")
        message(STATUS "Not building the GBA example: ${BMP2TVX_GBA_MISSING}")
    elseif(BMP2TVX_ARM_GCC)
        include(ExternalProject)
        ExternalProject_Add(gba_example
            SOURCE_DIR "${CMAKE_CURRENT_SOURCE_DIR}/examples/gba"
            BINARY_DIR "${BMP2TVX_GBA_ROMS}"
            CMAKE_ARGS
                "-DCMAKE_TOOLCHAIN_FILE=${CMAKE_CURRENT_SOURCE_DIR}/cmake/arm-none-eabi.cmake"
                "-DARM_NONE_EABI_GCC=${BMP2TVX_ARM_GCC}"
                "-DBMP2TVX_EXECUTABLE=$<TARGET_FILE:bmp2tvx>"
            BUILD_ALWAYS ON
            INSTALL_COMMAND ""
            DEPENDS bmp2tvx)
    else()
        set(BMP2TVX_GBA_MISSING
            "arm-none-eabi-gcc (Debian: gcc-arm-none-eabi) was not found when configuring")
        message(STATUS "Not building the GBA example: ${BMP2TVX_GBA_MISSING}")
    endif()
else()
    set(BMP2TVX_GBA_MISSING "the GBA example is not built (BMP2TVX_GBA_EXAMPLE is OFF)")
endif()

