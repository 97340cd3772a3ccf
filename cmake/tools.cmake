# The tools, in the top of the build folder: bmp2tvx, and tvx2png, which draws tile image files as
# PNGs when libpng was found (png/).
add_executable(bmp2tvx driver/main.cpp)
target_link_libraries(bmp2tvx PRIVATE bmp2tvx_driver bmp2tvx_flags)
# A static executable starts in about half the time (platform.cmake). On Linux a bmp2tvx that reads
# PNG files loads the system's shared libpng (and so zlib) when it first reads one (image/), so
# that the system's updates of them reach it; it is linked with the C library as a shared library,
# which that needs, and with the C++ runtime statically. A 240 x 160 BMP then takes about 0.8 ms
# of processor time, against 0.6 ms static and 0.95 ms with libpng linked. On Windows the libraries
# it was built with are archives, and the .exe needs no DLL.
set(BMP2TVX_FULLY_STATIC OFF)
if(BMP2TVX_LINK_STATIC AND BMP2TVX_READS_PNG AND NOT MINGW)
    target_link_options(bmp2tvx PRIVATE -static-libstdc++ -static-libgcc)
elseif(BMP2TVX_LINK_STATIC)
    target_link_options(bmp2tvx PRIVATE -static)
    set(BMP2TVX_FULLY_STATIC ON)
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
