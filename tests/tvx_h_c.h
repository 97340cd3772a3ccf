/* What tvx.h answers when compiled as C99 (tvx_h_c.c), for the C++ tests to compare with its
 * answers compiled as C++. */
#ifndef BMP2TVX_TESTS_TVX_H_C_H
#define BMP2TVX_TESTS_TVX_H_C_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct tvx_c_answers {
    int valid;
    uint32_t format;
    uint32_t width;
    uint32_t height;
    const void* palette;
    uint32_t palette_size;
    const void* pixels;
    uint32_t pixels_size;
    uint32_t tile_bytes;
};

/* Everything the header tells about `file`; the accessors only when tvx_valid accepts it. */
void tvx_c_describe(const void* file, uint32_t size, struct tvx_c_answers* out);

void tvx_c_copy(volatile void* dst, const void* src, uint32_t size);

const void* tvx_c_frame(const void* file, uint32_t w, uint32_t h, uint32_t n);
int tvx_c_map_valid(const void* map, uint32_t size);
void tvx_c_map_copy(volatile void* screen, uint32_t size, const void* map, uint32_t x, uint32_t y,
                    uint32_t w, uint32_t h);

/* Compiled only: the documented lines that show a picture on the handheld. */
void tvx_c_documented_example(const unsigned char* logo_tvx, unsigned int logo_tvx_size);

#ifdef __cplusplus
}
#endif

#endif
