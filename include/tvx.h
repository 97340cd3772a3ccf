/* Copyright (c) 2026 The bmp2tvx developers. zlib licence (LICENSE): no notice needed in games. */
/* tvx.h: tile image files (.tvx, written by bmp2tvx) in Game Boy Advance programs.
 *
 * One header, nothing else: C99 or C++, no C library, for devkitARM, plain arm-none-eabi-gcc or
 * the host. Every function is static and inline. Names that start with tvx_internal_ are this
 * header's own helpers: programs use the others.
 *
 * The file, as bmp2tvx writes it (the same table as README.md's "The tile image file", which adds
 * an example). Every multi-byte field is an unsigned 16-bit word, little-endian; nothing is padded
 * or aligned.
 *   Header, 8 bytes:
 *     offset 0  format code: 0 Index16, 1 Index256, 2 FullColor16
 *     offset 2  width in tiles  (pixel width / 8, modulo 65536)
 *     offset 4  height in tiles (pixel height / 8, modulo 65536)
 *     offset 6  tile count      ((width in tiles x height in tiles) modulo 65536)
 *   Body, by format:
 *     Index16      16 palette words, then each tile in 4-bit form, 32 bytes a tile
 *     Index256     256 palette words, then each tile in 8-bit form, 64 bytes a tile
 *     FullColor16  one colour word per pixel, top row first, each row left to right
 * These are exactly the bytes the display hardware takes: copy them to palette and video memory
 * as they are.
 *
 * Embedding a file. The header is read with 16-bit loads, so the file must start at an even
 * address (tvx_valid refuses an odd one); at a multiple of 4, tvx_copy moves it 32 bits at a time.
 *   devkitPro:  bin2s -a 4 logo.tvx > logo_tvx.s   (gives logo_tvx[] and logo_tvx_size)
 *   assembly:       .section .rodata
 *                   .balign 4
 *               logo_tvx:
 *                   .incbin "logo.tvx"
 *   CMake:      bmp2tvx_embed() from cmake/bmp2tvx.cmake converts the picture and does the above.
 *   make:       make/bmp2tvx.mk does the same in a Makefile laid out like devkitPro's template.
 *
 * Showing an Index16 or Index256 picture at the top left of the screen, as background 0 in mode 0:
 * palette in bank 0, tiles in char block 0 from tile 1 on (tile 0 is cleared: the empty tile the
 * rest of the map shows), map in screen block 31 (a full example: examples/gba/main.c):
 *
 *   volatile uint16_t* map = (volatile uint16_t*)0x0600F800;
 *   uint32_t tile_bytes, i, x, y;
 *   uint16_t tile = 1;
 *   if (!tvx_valid(logo_tvx, logo_tvx_size) || tvx_tile_bytes(logo_tvx) == 0) return;
 *   tile_bytes = tvx_tile_bytes(logo_tvx);
 *   tvx_copy((volatile void*)0x05000000, tvx_palette(logo_tvx), tvx_palette_size(logo_tvx));
 *   tvx_copy((volatile unsigned char*)0x06000000 + tile_bytes, tvx_pixels(logo_tvx),
 *            tvx_pixels_size(logo_tvx));
 *   for (i = 0; i < 16; i++) ((volatile uint32_t*)0x06000000)[i] = 0;
 *   for (i = 0; i < 32 * 32; i++) map[i] = 0;
 *   for (y = 0; y < tvx_height(logo_tvx) / 8; y++)
 *       for (x = 0; x < tvx_width(logo_tvx) / 8; x++) map[y * 32 + x] = tile++;
 *   *(volatile uint16_t*)0x04000008 = (uint16_t)(31 << 8 | (tile_bytes == 64) << 7);
 *   *(volatile uint16_t*)0x04000000 = 0x0100;
 *
 * (BG0CNT: map in screen block 31, 8 bits per pixel for Index256; DISPCNT: mode 0, background 0
 * on.) A FullColor16 picture goes into mode 3's frame buffer (0x06000000, 240 pixels a row), one
 * row of tvx_width() * 2 bytes at a time, then DISPCNT = 0x0403 (mode 3, background 2 on).
 */
#ifndef TVX_H
#define TVX_H

#include <stddef.h>
#include <stdint.h>

#if defined(__BYTE_ORDER__) && defined(__ORDER_LITTLE_ENDIAN__) && \
    __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "tvx.h reads the file's little-endian words directly, so it needs a little-endian machine"
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Every function is static and inline; Microsoft's C compiler before C11 spells inline __inline. */
#if defined(_MSC_VER) && !defined(__cplusplus)
#define TVX_INLINE static __inline
#else
#define TVX_INLINE static inline
#endif

/* Format codes. */
#define TVX_INDEX16 0
#define TVX_INDEX256 1
#define TVX_FULLCOLOR16 2

/* The file is usually an array of bytes; these types let it be read in words without breaking
 * the compiler's aliasing rules. */
#if defined(__GNUC__)
typedef uint16_t __attribute__((__may_alias__)) tvx_internal_word16;
typedef uint32_t __attribute__((__may_alias__)) tvx_internal_word32;
#else
typedef uint16_t tvx_internal_word16;
typedef uint32_t tvx_internal_word32;
#endif

/* Header word i, with one 16-bit load. */
TVX_INLINE uint32_t tvx_internal_header_word(const void* file, unsigned i) {
    return ((const tvx_internal_word16*)file)[i];
}

/* log2 of the bytes of body that each 8 x 8 pixels take: a tile of 32 or 64 bytes, or for
 * FullColor16 64 pixels of 2 bytes (128); 0 for an unknown format. */
TVX_INLINE unsigned tvx_internal_block_shift(uint32_t format) {
    return format == TVX_INDEX16       ? 5u
           : format == TVX_INDEX256    ? 6u
           : format == TVX_FULLCOLOR16 ? 7u
                                       : 0u;
}

/* The format code (only meaningful for a file of at least 8 bytes). */
TVX_INLINE uint32_t tvx_format(const void* file) {
    return tvx_internal_header_word(file, 0);
}

/* Palette bytes: 32 for Index16, 512 for Index256, 0 for FullColor16. */
TVX_INLINE uint32_t tvx_palette_size(const void* file) {
    uint32_t format = tvx_format(file);
    return format == TVX_INDEX16 ? 32u : format == TVX_INDEX256 ? 512u : 0u;
}

/* Bytes of one tile: 32 for Index16, 64 for Index256, 0 for FullColor16 (a bitmap, no tiles). */
TVX_INLINE uint32_t tvx_tile_bytes(const void* file) {
    uint32_t format = tvx_format(file);
    return format == TVX_INDEX16 ? 32u : format == TVX_INDEX256 ? 64u : 0u;
}

/* 1 when `file` is at an even address, `size` is at least 8, the format code is known, and `size`
 * is exactly the length the header announces: 8 + palette + the tiles that width x height in
 * tiles make. The tile count word must match width x height (modulo 65536) too, as every file
 * bmp2tvx writes does. Else 0. The other functions trust the header, so check a file with this
 * first. An odd address is refused because every function reads the header in 16-bit words: the
 * ARM7TDMI loads a halfword at an odd address from the even address below it, its bytes rotated,
 * without any fault, so the header would read wrong without a sign. */
TVX_INLINE int tvx_valid(const void* file, uint32_t size) {
    uint32_t format, shift, fixed, tiles, body;
    if (file == NULL || ((uintptr_t)file & 1) || size < 8) {
        return 0;
    }
    format = tvx_format(file);
    shift = tvx_internal_block_shift(format);
    if (shift == 0) {
        return 0;
    }
    /* At most 65535 x 65535, which still fits in 32 bits. */
    tiles = tvx_internal_header_word(file, 1) * tvx_internal_header_word(file, 2);
    if (tvx_internal_header_word(file, 3) != (tiles & 0xFFFFu)) {
        return 0;
    }
    fixed = 8 + tvx_palette_size(file);
    if (size < fixed) {
        return 0;
    }
    /* The body must be exactly tiles << shift bytes; compared this way round it cannot wrap. */
    body = size - fixed;
    return (body & ((1u << shift) - 1)) == 0 && (body >> shift) == tiles;
}

/* Width and height in pixels. */
TVX_INLINE uint32_t tvx_width(const void* file) {
    return tvx_internal_header_word(file, 1) * 8;
}
TVX_INLINE uint32_t tvx_height(const void* file) {
    return tvx_internal_header_word(file, 2) * 8;
}

/* The palette's 15-bit colours, ready for palette memory; NULL for FullColor16. */
TVX_INLINE const uint16_t* tvx_palette(const void* file) {
    return tvx_palette_size(file) ? (const uint16_t*)(const void*)((const unsigned char*)file + 8)
                                  : NULL;
}

/* The tiles (Index16, Index256) or the bitmap (FullColor16), and their size in bytes. */
TVX_INLINE const void* tvx_pixels(const void* file) {
    return (const unsigned char*)file + 8 + tvx_palette_size(file);
}
TVX_INLINE uint32_t tvx_pixels_size(const void* file) {
    uint32_t tiles = tvx_internal_header_word(file, 1) * tvx_internal_header_word(file, 2);
    return tiles << tvx_internal_block_shift(tvx_format(file));
}

/* The word at `p`, a byte pointer tvx_copy has checked to be aligned for it: the cast goes through
 * a void pointer, so that -Wcast-align, which cannot see the check, has no cast to warn about. */
#define TVX_INTERNAL_DST16(p) ((volatile tvx_internal_word16*)(volatile void*)(p))
#define TVX_INTERNAL_DST32(p) ((volatile tvx_internal_word32*)(volatile void*)(p))
#define TVX_INTERNAL_SRC16(p) ((const tvx_internal_word16*)(const void*)(p))
#define TVX_INTERNAL_SRC32(p) ((const tvx_internal_word32*)(const void*)(p))

/* Copies `size` bytes to video, palette or object memory, or anywhere else. Those memories take
 * no 8-bit writes (background video and palette memory write the byte into both halves of its
 * halfword; object video memory ignores it), so this never writes a byte alone: 32-bit writes
 * wherever both ends are 4-byte aligned, 16-bit writes otherwise. An odd first or last byte
 * shares its halfword with a byte outside the copy: that halfword is read and written back with
 * the outside byte unchanged. The source may be at any address. */
TVX_INLINE void tvx_copy(volatile void* dst, const void* src, uint32_t size) {
    volatile unsigned char* d = (volatile unsigned char*)dst;
    const unsigned char* s = (const unsigned char*)src;
    if (size == 0) {
        return;
    }
    if ((uintptr_t)d & 1) {
        volatile tvx_internal_word16* half = TVX_INTERNAL_DST16(d - 1);
        *half = (uint16_t)((*half & 0x00FFu) | ((uint32_t)s[0] << 8));
        d++;
        s++;
        size--;
    }
    if (((uintptr_t)d & 3) == 2 && ((uintptr_t)s & 3) == 2 && size >= 2) {
        *TVX_INTERNAL_DST16(d) = *TVX_INTERNAL_SRC16(s);
        d += 2;
        s += 2;
        size -= 2;
    }
    if ((((uintptr_t)d | (uintptr_t)s) & 3) == 0) {
        for (; size >= 4; size -= 4, d += 4, s += 4) {
            *TVX_INTERNAL_DST32(d) = *TVX_INTERNAL_SRC32(s);
        }
    }
    if (((uintptr_t)s & 1) == 0) {
        for (; size >= 2; size -= 2, d += 2, s += 2) {
            *TVX_INTERNAL_DST16(d) = *TVX_INTERNAL_SRC16(s);
        }
    } else {
        for (; size >= 2; size -= 2, d += 2, s += 2) {
            *TVX_INTERNAL_DST16(d) = (uint16_t)(s[0] | ((uint32_t)s[1] << 8));
        }
    }
    if (size == 1) {
        volatile tvx_internal_word16* half = TVX_INTERNAL_DST16(d);
        *half = (uint16_t)((*half & 0xFF00u) | s[0]);
    }
}

#undef TVX_INTERNAL_DST16
#undef TVX_INTERNAL_DST32
#undef TVX_INTERNAL_SRC16
#undef TVX_INTERNAL_SRC32

#ifdef __cplusplus
}
#endif

#endif /* TVX_H */
