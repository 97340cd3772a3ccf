# The tools, in the top of the build folder: bmp2tvx, and tvx2png, which draws tile image files as
# PNGs when libpng was found (png/).
add_executable(bmp2tvx driver/main.cpp)
target_link_libraries(bmp2tvx PRIVATE bmp2tvx_driver bmp2tvx_flags)
if(BMP2TVX_LINK_STATIC)
    target_link_options(bmp2tvx PRIVATE -static)
endif()

if(TARGET bmp2tvx_png)
    add_executable(tvx2png tvx2png/main.cpp)
    target_link_libraries(tvx2png PRIVATE bmp2tvx_png bmp2tvx_palette bmp2tvx_tileimage bmp2tvx_flags)
    # --version prints the project's version.
    target_compile_definitions(tvx2png PRIVATE BMP2TVX_VERSION="${PROJECT_VERSION}")
    if(MINGW)
        target_link_options(tvx2png PRIVATE -static)
    endif()
endif()
