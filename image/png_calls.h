// The libpng functions the PNG reader calls, through one table. On Linux the table is filled
// from the system's shared libpng, loaded only when the first PNG file is read, so that the
// tool's every start (thousands of them in a game's build, most for BMP files) does not pay for
// loading libpng and zlib, while the system's updates of them still reach it. Everywhere else it
// holds the functions the tool was linked with.
#pragma once

#include <png.h>

namespace bmp2tvx {

#define BMP2TVX_PNG_CALLS(X)           \
    X(png_create_info_struct)          \
    X(png_create_read_struct)          \
    X(png_destroy_read_struct)         \
    X(png_error)                       \
    X(png_get_PLTE)                    \
    X(png_get_bit_depth)               \
    X(png_get_channels)                \
    X(png_get_color_type)              \
    X(png_get_error_ptr)               \
    X(png_get_image_height)            \
    X(png_get_image_width)             \
    X(png_get_interlace_type)          \
    X(png_get_io_ptr)                  \
    X(png_get_tRNS)                    \
    X(png_get_valid)                   \
    X(png_longjmp)                     \
    X(png_read_end)                    \
    X(png_read_image)                  \
    X(png_read_info)                   \
    X(png_read_row)                    \
    X(png_read_update_info)            \
    X(png_set_bgr)                     \
    X(png_set_check_for_invalid_index) \
    X(png_set_crc_action)              \
    X(png_set_expand_gray_1_2_4_to_8)  \
    X(png_set_gray_to_rgb)             \
    X(png_set_interlace_handling)      \
    X(png_set_packing)                 \
    X(png_set_read_fn)                 \
    X(png_set_strip_16)                \
    X(png_set_tRNS_to_alpha)           \
    X(png_set_user_limits)             \
    X(png_set_longjmp_fn)

struct PngCalls {
#define BMP2TVX_PNG_CALL(name) decltype(&::name) name = nullptr;
    BMP2TVX_PNG_CALLS(BMP2TVX_PNG_CALL)
#undef BMP2TVX_PNG_CALL
};

// The table, filled on the first call; none when libpng cannot be loaded.
const PngCalls* LoadPngCalls();

// The library's file name, for the line that says it could not be loaded.
const char* PngLibraryName();

}  // namespace bmp2tvx
