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
 * as they are. A sprite sheet converted with --frame=WxH holds its frames one after another, the
 * header describing them stacked in a column (W/8 tiles wide): tvx_frame() finds frame n.
 *
 * The map file (.tvm), which bmp2tvx --map writes beside a background's tile image file of its
 * distinct tiles (the same table as tileimage/map_file.h and README.md's "The map file"):
 *   offset 0       2   kind: 0 regular (16-bit entries), 1 affine (8-bit entries)
 *   offset 2       2   width in tiles (the picture's)
 *   offset 4       2   height in tiles
 *   offset 6       2   k, the number of 16-colour banks that follow: 1 to 16 for regular maps
 *                      of Index16 tiles, else 0
 *   offset 8       32k the banks, 16 colour words each, the first for bank --bank-base
 *   offset 8 + 32k     the entries, row by row from the top left: 2 x width x height bytes
 *                      (regular) or width x height (affine)
 * A regular entry is what a regular background's screen block holds: bits 0-9 the tile number,
 * 10 and 11 the horizontal and vertical flips, 12-15 the palette bank. An affine entry is a tile
 * number. tvx_map_copy() puts them where the hardware reads them, tvx_map_copy_banks() the banks
 * in palette memory.
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
 *
 * A sprite sheet (walk.png, converted with -c4 --frame=32x32) animates one object: each time it
 * turns to frame n, copy tvx_frame(walk_tvx, 32, 32, n), tvx_frame_size(walk_tvx, 32, 32) bytes,
 * to the object's tiles in object video memory (0x06010000, 32 bytes a tile number).
 * A background (field.png, converted with -c4 --map, embedded as field_tvx and field_tvm): copy
 * tvx_pixels(field_tvx) to its char block, tvx_map_copy_banks() the banks to palette memory from
 * the --bank-base the map was made with, and tvx_map_copy() the map into the screen blocks its
 * control register names, for the size it sets there; then move it with the scroll registers.
 * README.md ("Use it in your game") shows both in full.
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

/* Sprite sheets converted with --frame=WxH. The frames follow one another in the body, each
 * (W/8) x (H/8) tiles in rows from its top, in the order of the sheet (left to right, then down),
 * and the header describes them stacked in a column: W/8 tiles wide, the frames' H/8 rows each
 * down. An object in one-dimensional mapping (DISPCNT bit 6) takes a frame's tiles as they are. */

/* a / b, and a % b in *rest, for a below 65536 and b from 1 to 65535, by shifts and subtractions:
 * the ARM7TDMI has no divide instruction, and `/` would call the compiler's run-time library. */
TVX_INLINE uint32_t tvx_internal_divide(uint32_t a, uint32_t b, uint32_t* rest) {
    uint32_t quotient = 0;
    unsigned bit = 16;
    while (bit-- > 0) {
        if ((b << bit) <= a) {
            a -= b << bit;
            quotient |= 1u << bit;
        }
    }
    *rest = a;
    return quotient;
}

/* The number of frames of frame_width x frame_height pixels in the sheet; 0 when such frames do
 * not make the file: a width other than the file's (a sheet converted with --frame is one frame
 * wide; without it, the whole sheet), a height that is not a multiple of 8 or does not divide the
 * file's, or FullColor16, which has no tiles. */
TVX_INLINE uint32_t tvx_frame_count(const void* file, uint32_t frame_width, uint32_t frame_height) {
    uint32_t rows = frame_height >> 3, down = tvx_internal_header_word(file, 2), rest = 1,
             count = 0;
    if (tvx_tile_bytes(file) != 0 && frame_width == tvx_width(file) && (frame_height & 7) == 0 &&
        rows != 0 && rows <= down) {
        count = tvx_internal_divide(down, rows, &rest);
    }
    return rest == 0 ? count : 0;
}

/* The bytes of one frame's tiles: (W/8) x (H/8) x tvx_tile_bytes(); 0 as tvx_frame_count is. */
TVX_INLINE uint32_t tvx_frame_size(const void* file, uint32_t frame_width, uint32_t frame_height) {
    return tvx_frame_count(file, frame_width, frame_height) == 0
               ? 0
               : tvx_internal_header_word(file, 1) * (frame_height >> 3) * tvx_tile_bytes(file);
}

/* Frame n's tiles, counting from 0, tvx_frame_size() bytes for object video memory; NULL past the
 * last frame, or when tvx_frame_count() is 0. */
TVX_INLINE const void* tvx_frame(const void* file, uint32_t frame_width, uint32_t frame_height,
                                 uint32_t n) {
    return n < tvx_frame_count(file, frame_width, frame_height)
               ? (const unsigned char*)tvx_pixels(file) +
                     n * tvx_frame_size(file, frame_width, frame_height)
               : NULL;
}

/* Map files (.tvm), written by --map and --map=affine; the table is at the top of this file. */

/* Map kinds, the first field. */
#define TVX_MAP_REGULAR 0
#define TVX_MAP_AFFINE 1

/* The kind, the width and height in tiles (entries), and the number of banks k. */
TVX_INLINE uint32_t tvx_map_kind(const void* map) {
    return tvx_internal_header_word(map, 0);
}
TVX_INLINE uint32_t tvx_map_width(const void* map) {
    return tvx_internal_header_word(map, 1);
}
TVX_INLINE uint32_t tvx_map_height(const void* map) {
    return tvx_internal_header_word(map, 2);
}
TVX_INLINE uint32_t tvx_map_bank_count(const void* map) {
    return tvx_internal_header_word(map, 3);
}

/* 1 when `map` is at an even address, `size` is at least 8, the kind is 0 or 1, there are at most
 * 16 banks, and `size` is exactly the length the header announces: 8 + 32k + the entries, 2 bytes
 * each (regular) or 1 (affine). Else 0. As for tvx_valid, the other functions trust the header. */
TVX_INLINE int tvx_map_valid(const void* map, uint32_t size) {
    uint32_t cells, fixed, body;
    if (map == NULL || ((uintptr_t)map & 1) || size < 8 || tvx_map_kind(map) > TVX_MAP_AFFINE ||
        tvx_map_bank_count(map) > 16) {
        return 0;
    }
    cells = tvx_map_width(map) * tvx_map_height(map); /* at most 65535 x 65535 */
    fixed = 8 + 32 * tvx_map_bank_count(map);
    if (size < fixed) {
        return 0;
    }
    body = size - fixed;
    return tvx_map_kind(map) == TVX_MAP_AFFINE ? body == cells
                                               : (body & 1) == 0 && body >> 1 == cells;
}

/* The banks, 16 colour words each (NULL when k is 0), and the entries, row by row. */
TVX_INLINE const uint16_t* tvx_map_banks(const void* map) {
    return tvx_map_bank_count(map) ? (const uint16_t*)(const void*)((const unsigned char*)map + 8)
                                   : NULL;
}
TVX_INLINE const void* tvx_map_entries(const void* map) {
    return (const unsigned char*)map + 8 + 32 * tvx_map_bank_count(map);
}

/* The entry at tile column x, row y: a regular entry's 16 bits, or an affine entry's tile number.
 * x and y must be inside the map. */
TVX_INLINE uint32_t tvx_map_entry(const void* map, uint32_t x, uint32_t y) {
    uint32_t i = y * tvx_map_width(map) + x;
    const void* entries = tvx_map_entries(map);
    return tvx_map_kind(map) == TVX_MAP_AFFINE ? ((const unsigned char*)entries)[i]
                                               : ((const tvx_internal_word16*)entries)[i];
}

/* Copies the w x h entries of `map` from tile column x, row y into the screen blocks of a
 * background whose first screen block is at `screen` (0x06000000 + 0x800 x n, n the block number
 * in the background's control register) and whose size is `size`, bits 14-15 of that register:
 *   regular map  0: 256 x 256 pixels, 1: 512 x 256, 2: 256 x 512, 3: 512 x 512
 *   affine map   0: 128 x 128 pixels, 1: 256 x 256, 2: 512 x 512, 3: 1024 x 1024
 * Map entry (x, y) goes where the hardware reads the background's tile column x and row y, each
 * modulo the background's: where the scroll registers holding the map's pixel position show it
 * (an affine background wraps around so only with bit 13 of its control register set).
 * So a map that fits the background is copied once, whole (x = y = 0), and one larger than the
 * background scrolls by copying the column or row that comes into view; w and h are at most the
 * background's tiles across and down. Entries past the map's edge are left out.
 * Regular backgrounds take 32 x 32 entries a 2 KiB screen block: a background 512 pixels wide
 * keeps tile columns 32-63 in the next block, and one 512 high rows 32-63 one block on (256 wide)
 * or two (512 wide: blocks n, n+1 above, n+2, n+3 below). An affine background is one byte an
 * entry, rows of 16, 32, 64 or 128 bytes; video memory takes no 8-bit writes, so they are written
 * in pairs, as halfwords or words (tvx_copy). */
TVX_INLINE void tvx_map_copy(volatile void* screen, uint32_t size, const void* map, uint32_t x,
                             uint32_t y, uint32_t w, uint32_t h) {
    volatile unsigned char* base = (volatile unsigned char*)screen;
    const unsigned char* entries = (const unsigned char*)tvx_map_entries(map);
    uint32_t across = tvx_map_width(map), down = tvx_map_height(map);
    uint32_t bytes = tvx_map_kind(map) == TVX_MAP_AFFINE ? 1 : 2;
    /* The background's tiles across and down, less one (powers of 2, so that & is modulo). */
    uint32_t last_column = bytes == 1 ? (16u << (size & 3)) - 1 : (32u << (size & 1)) - 1;
    uint32_t last_row = bytes == 1 ? last_column : (32u << ((size >> 1) & 1)) - 1;
    uint32_t x_end = x < across ? (w < across - x ? x + w : across) : x;
    uint32_t y_end = y < down ? (h < down - y ? y + h : down) : y;
    uint32_t column, run, at, c, r;
    for (; y < y_end; y++) {
        /* Each run of entries that lie side by side in memory: to the end of the background's row
         * (affine), or of the screen block's row of 32 (regular). */
        for (column = x; column < x_end; column += run) {
            c = column & last_column;
            r = y & last_row;
            if (bytes == 1) {
                run = last_column + 1 - c;
                at = r * (last_column + 1) + c;
            } else {
                run = 32 - (c & 31);
                at = 2 * ((((c >> 5) + (r >> 5) * ((last_column + 1) >> 5)) << 10) +
                          ((r & 31) << 5) + (c & 31));
            }
            if (run > x_end - column) {
                run = x_end - column;
            }
            tvx_copy(base + at, entries + bytes * (y * across + column), bytes * run);
        }
    }
}

/* Copies the map's k banks to background palette memory at `palette` (0x05000000), 32 bytes a
 * bank, the first to bank `bank_base`: the --bank-base the map was made with, which its entries
 * name. Banks past 15 are left out. */
TVX_INLINE void tvx_map_copy_banks(volatile void* palette, const void* map, uint32_t bank_base) {
    uint32_t count = tvx_map_bank_count(map);
    if (bank_base >= 16) {
        return;
    }
    if (count > 16 - bank_base) {
        count = 16 - bank_base;
    }
    tvx_copy((volatile unsigned char*)palette + 32 * bank_base, (const unsigned char*)map + 8,
             32 * count);
}

#ifdef __cplusplus
}
#endif

#endif /* TVX_H */
