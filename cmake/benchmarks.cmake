# What the benchmarks measure the tool against, and the encoders' inner loops on their own.
#
# png_decode only decodes a PNG with libpng: bench/run.py times bmp2tvx's reading of a PNG
# against it. It is built wherever libpng is, so that bench/run.py works on the usual build.
if(NOT TARGET PNG::PNG AND NOT CMAKE_CROSSCOMPILING)
    find_package(PNG QUIET)
endif()
if(TARGET PNG::PNG AND NOT CMAKE_CROSSCOMPILING)
    add_executable(png_decode bench/png_decode.cpp)
    target_link_libraries(png_decode PRIVATE PNG::PNG bmp2tvx_flags)
endif()

# The inner loops and the packing of palette banks (BMP2TVX_BENCHMARKS, needs Google Benchmark);
# the whole tool against cp is measured by bench/run.py.
if(NOT BMP2TVX_BENCHMARKS)
    return()
endif()
find_package(benchmark REQUIRED)
add_executable(encoders_benchmark bench/encoders_benchmark.cpp)
target_link_libraries(encoders_benchmark PRIVATE bmp2tvx_palette bmp2tvx_tileimage
    benchmark::benchmark bmp2tvx_flags)
add_executable(bank_packing_benchmark bench/bank_packing_benchmark.cpp)
target_link_libraries(bank_packing_benchmark PRIVATE bmp2tvx_palette benchmark::benchmark
    bmp2tvx_flags)
