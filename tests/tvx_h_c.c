/* tvx.h compiled as strict C99 with every warning an error. */
#include "tvx_h_c.h"

#include "tvx.h"

#include <stddef.h>

void tvx_c_describe(const void* file, uint32_t size, struct tvx_c_answers* out) {
    struct tvx_c_answers answers = {0, 0, 0, 0, NULL, 0, NULL, 0, 0};
    answers.valid = tvx_valid(file, size);
    if (answers.valid) {
        answers.format = tvx_format(file);
        answers.width = tvx_width(file);
        answers.height = tvx_height(file);
        answers.palette = tvx_palette(file);
        answers.palette_size = tvx_palette_size(file);
        answers.pixels = tvx_pixels(file);
        answers.pixels_size = tvx_pixels_size(file);
        answers.tile_bytes = tvx_tile_bytes(file);
    }
    *out = answers;
}

void tvx_c_copy(volatile void* dst, const void* src, uint32_t size) {
    tvx_copy(dst, src, size);
}

const void* tvx_c_frame(const void* file, uint32_t w, uint32_t h, uint32_t n) {
    return tvx_frame(file, w, h, n);
}

int tvx_c_map_valid(const void* map, uint32_t size) {
    return tvx_map_valid(map, size);
}

void tvx_c_map_copy(volatile void* screen, uint32_t size, const void* map, uint32_t x, uint32_t y,
                    uint32_t w, uint32_t h) {
    tvx_map_copy(screen, size, map, x, y, w, h);
}

/* The lines tvx.h's top comment and the README give for showing a picture, word for word, so
 * that they keep compiling. Never called on the host: it writes the handheld's registers. */
/* clang-format off */
void tvx_c_documented_example(const unsigned char* logo_tvx, unsigned int logo_tvx_size) {
    volatile uint16_t* map = (volatile uint16_t*)0x0600F800;
    uint32_t tile_bytes, i, x, y;
    uint16_t tile = 1;
    if (!tvx_valid(logo_tvx, logo_tvx_size) || tvx_tile_bytes(logo_tvx) == 0) return;
    tile_bytes = tvx_tile_bytes(logo_tvx);
    tvx_copy((volatile void*)0x05000000, tvx_palette(logo_tvx), tvx_palette_size(logo_tvx));
    tvx_copy((volatile unsigned char*)0x06000000 + tile_bytes, tvx_pixels(logo_tvx),
             tvx_pixels_size(logo_tvx));
    for (i = 0; i < 16; i++) ((volatile uint32_t*)0x06000000)[i] = 0;
    for (i = 0; i < 32 * 32; i++) map[i] = 0;
    for (y = 0; y < tvx_height(logo_tvx) / 8; y++)
        for (x = 0; x < tvx_width(logo_tvx) / 8; x++) map[y * 32 + x] = tile++;
    *(volatile uint16_t*)0x04000008 = (uint16_t)(31 << 8 | (tile_bytes == 64) << 7);
    *(volatile uint16_t*)0x04000000 = 0x0100;
}
/* clang-format on */
