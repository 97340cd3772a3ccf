# The encoders' inner loops on their own (BMP2TVX_BENCHMARKS, needs Google Benchmark); the whole
# tool against cp is measured by bench/run.py.
if(NOT BMP2TVX_BENCHMARKS)
    return()
endif()
find_package(benchmark REQUIRED)
add_executable(encoders_benchmark bench/encoders_benchmark.cpp)
target_link_libraries(encoders_benchmark PRIVATE bmp2tvx_palette bmp2tvx_tileimage
    benchmark::benchmark bmp2tvx_flags)
