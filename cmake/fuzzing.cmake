# The libFuzzer targets (BMP2TVX_FUZZ, clang only; cmake/warnings.cmake instruments our code):
# fuzz_convert runs arbitrary bytes through the tool's own conversion, from memory and from a file;
# fuzz_palette through the palette file reader; fuzz_tvx_valid checks that tvx2png's reader and
# tvx.h, the header GBA programs load tile image files with, accept exactly the same files, as tile
# image files and as map files.
if(NOT BMP2TVX_FUZZ)
    return()
endif()
add_executable(fuzz_convert fuzz/fuzz_convert.cpp fuzz/scratch_file.cpp)
target_link_libraries(fuzz_convert PRIVATE bmp2tvx_driver bmp2tvx_flags)
add_executable(fuzz_palette fuzz/fuzz_palette.cpp fuzz/scratch_file.cpp)
target_link_libraries(fuzz_palette PRIVATE bmp2tvx_palette bmp2tvx_flags)
add_executable(fuzz_tvx_valid fuzz/fuzz_tvx_valid.cpp)
target_link_libraries(fuzz_tvx_valid PRIVATE bmp2tvx_tileimage bmp2tvx::tvx bmp2tvx_flags)
foreach(target fuzz_convert fuzz_palette fuzz_tvx_valid)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
endforeach()
