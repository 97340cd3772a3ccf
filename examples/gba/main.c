/* The example game: shows the embedded tile image file (logo_tvx, see logo_tvx.h) at the top left
 * of the screen, over a checkerboard of sprites that shows through the picture's transparent
 * pixels. The same program takes every layout:
 *   Index16, Index256  background 0 in mode 0: the palette in background palette memory (bank 0
 *                      for Index16), the tiles in char block 0 from tile 1 on (tile 0 stays
 *                      empty, that is transparent), and a map in screen block 31 that lays the
 *                      tiles out in picture order;
 *   FullColor16        background 2 in mode 3, the bitmap copied row by row into the frame
 *                      buffer, and window 0 limiting it to the picture (a bitmap has no
 *                      transparent pixels, so the rest of the screen would hide the sprites).
 * On this hardware the backdrop (what shows where no layer draws) is background palette entry 0,
 * the key colour itself, so the transparent pixels need a layer behind them to be seen at all.
 * A file that tvx_valid refuses, a copy of it at an odd address that tvx_valid accepts, or a
 * picture larger than the screen gives a red screen.
 *
 * Built with SHOW_SPRITES, it shows five 32 x 32 sprites over the checkerboard instead, where
 * sprites.h places them: sprite.png (Index256) and sprite_rgba.png (Index16), one sprite whose
 * background is transparent in the file as an indexed PNG and as RGBA; knight.png and ghost.png,
 * two sprites converted with one palette file and drawn through one palette bank; and
 * slime_kept.png, the slime kept as GBA art is, its indices kept by --key=none: its teal entry 0
 * transparent and its black outline opaque. A file that is not a valid 32 x 32 tiled sprite gives
 * a red screen.
 *
 * Built with SHOW_WALK or SHOW_BACKGROUNDS, it moves its pictures after every vertical blank, as
 * motion.h says, from the number of vertical blanks it has waited for: SHOW_WALK animates the
 * sprite sheet walk.png over the checkerboard, one object turning from frame to frame as it walks
 * right; SHOW_BACKGROUNDS scrolls field.png, a regular background larger than the screen, under
 * dial.png, an affine background that turns. A sheet or a background that is not what motion.h
 * describes gives a red screen. */
#include <stdint.h>

#include "backdrop.h"
#include "tvx.h"
#ifdef SHOW_SPRITES
#include "ghost_tvx.h"
#include "knight_tvx.h"
#include "slime_kept_tvx.h"
#include "sprite_rgba_tvx.h"
#include "sprite_tvx.h"
#include "sprites.h"
#elif defined(SHOW_WALK)
#include "motion.h"
#include "walk_tvx.h"
#elif defined(SHOW_BACKGROUNDS)
#include "dial_tvx.h"
#include "field_tvx.h"
#include "motion.h"
#else
#include "logo_tvx.h"
#endif

#define REG16(address) (*(volatile uint16_t*)(address))
#define REG32(address) (*(volatile uint32_t*)(address))
#define REG_DISPCNT REG16(0x04000000)
#define REG_VCOUNT REG16(0x04000006) /* the line being drawn: 0-159, then 160-227 in vblank */
#define REG_BG0CNT REG16(0x04000008)
#define REG_BG2CNT REG16(0x0400000C)
#define REG_BG0HOFS REG16(0x04000010)
#define REG_BG0VOFS REG16(0x04000012)
#define REG_BG2PA REG16(0x04000020)
#define REG_BG2PB REG16(0x04000022)
#define REG_BG2PC REG16(0x04000024)
#define REG_BG2PD REG16(0x04000026)
#define REG_BG2X REG32(0x04000028)
#define REG_BG2Y REG32(0x0400002C)
#define REG_WIN0H REG16(0x04000040)
#define REG_WIN0V REG16(0x04000044)
#define REG_WININ REG16(0x04000048)
#define REG_WINOUT REG16(0x0400004A)

#define DISPCNT_MODE0 0x0000
#define DISPCNT_MODE1 0x0001 /* backgrounds 0 and 1 regular, 2 affine */
#define DISPCNT_MODE3 0x0003
#define DISPCNT_OBJ_1D 0x0040 /* sprite tiles follow one another in memory */
#define DISPCNT_BG0 0x0100
#define DISPCNT_BG2 0x0400
#define DISPCNT_OBJ 0x1000
#define DISPCNT_WIN0 0x2000

#define BG_PALETTE ((volatile uint16_t*)0x05000000)
#define OBJ_PALETTE ((volatile uint16_t*)0x05000200)
#define VRAM ((volatile unsigned char*)0x06000000)
#define EWRAM ((unsigned char*)0x02000000)
#define SCREEN_BLOCK_31 ((volatile uint16_t*)0x0600F800)
/* Sprite tiles from 512 on, at 0x06014000: the part of object video memory that mode 3's frame
 * buffer leaves free. */
#define OBJ_TILE_FIRST 512
#define OBJ_TILES ((volatile uint32_t*)0x06014000)
/* Char block 4, where object tile numbers count from, 32 bytes a number at any depth. */
#define OBJ_VRAM ((volatile unsigned char*)0x06010000)
#define OAM ((volatile uint16_t*)0x07000000)

#define SCREEN_WIDTH 240
#define SCREEN_HEIGHT 160

#ifdef UNEVEN_COPY
/* A build that copies every block in pieces of 1 to 7 bytes, each first moved to an address 0 to
 * 3 bytes past a multiple of 4: the pieces then start and end at every alignment, so every path
 * of tvx_copy writes to video and palette memory. Every other piece goes first, then the rest: a
 * byte written alone in the second round would be doubled into its neighbour, which the first
 * round wrote and nothing writes again, so the damage would stay on screen. */
static uint32_t staging[4];

static void copy_block(volatile void* dst, const void* src, uint32_t size) {
    volatile unsigned char* to = (volatile unsigned char*)dst;
    const unsigned char* from = (const unsigned char*)src;
    uint32_t round;
    for (round = 0; round < 2; round++) {
        uint32_t done = 0, piece = 1, shift = 0, index = 0;
        while (done < size) {
            uint32_t n = piece < size - done ? piece : size - done;
            if (index % 2 == round) {
                unsigned char* moved = (unsigned char*)staging + shift;
                tvx_copy(moved, from + done, n);
                tvx_copy(to + done, moved, n);
            }
            done += n;
            piece = piece % 7 + 1;
            shift = (shift + 1) % 4;
            index++;
        }
    }
}
#else
static void copy_block(volatile void* dst, const void* src, uint32_t size) {
    tvx_copy(dst, src, size);
}
#endif

/* Twelve 64 x 64 sprites of 4-bit tiles cover the screen with the checkerboard. All twelve use
 * the same 64 tiles, each of one colour: 1 (light) or 2 (dark) of object palette bank 15, the
 * last, which leaves the others to the sprites shown over it. The sprites sit at multiples of 64,
 * a whole number of square pairs, so the pattern runs on across them. Priority 3 puts them behind
 * background 0 or 2, and behind the other sprites (priority 0 all). */
#ifndef SHOW_BACKGROUNDS
#define BACKDROP_BANK 15
static void show_backdrop(void) {
    uint32_t tile, word, i;
    OBJ_PALETTE[BACKDROP_BANK * 16 + 1] = BACKDROP_LIGHT;
    OBJ_PALETTE[BACKDROP_BANK * 16 + 2] = BACKDROP_DARK;
    for (tile = 0; tile < 64; tile++) {
        uint32_t row = tile / 8, column = tile % 8;
        uint32_t fill = (row + column) % 2 ? 0x22222222u : 0x11111111u;
        for (word = 0; word < 8; word++) {
            OBJ_TILES[tile * 8 + word] = fill;
        }
    }
    for (i = 0; i < 128; i++) {
        volatile uint16_t* sprite = OAM + 4 * i;
        if (i < 12) {
            uint32_t x = (i % 4) * 64, y = (i / 4) * 64;
            sprite[0] = (uint16_t)y;            /* square, 4-bit tiles */
            sprite[1] = (uint16_t)(x | 0xC000); /* 64 x 64 */
            sprite[2] = (uint16_t)(OBJ_TILE_FIRST | 3 << 10 | BACKDROP_BANK << 12);
        } else {
            sprite[0] = 0x0200; /* hidden */
        }
    }
}
#endif

static void show_red_screen(void) {
    BG_PALETTE[0] = 0x001F;
    REG_DISPCNT = DISPCNT_MODE0;
    for (;;) {
    }
}

#ifdef SHOW_SPRITES
static int is_sprite(const void* file, uint32_t size) {
    return tvx_valid(file, size) && tvx_tile_bytes(file) != 0 && tvx_width(file) == SPRITE_SIZE &&
           tvx_height(file) == SPRITE_SIZE;
}

/* Shows the 32 x 32 sprite `file` as object `index` at (x, y), its tiles from tile number `tile`
 * on and its colours from palette bank `bank` (for 4-bit tiles), over the checkerboard. Returns
 * the tile number after its tiles. */
static uint32_t show_sprite(uint32_t index, const void* file, uint32_t tile, uint32_t x, uint32_t y,
                            uint32_t bank) {
    volatile uint16_t* sprite = OAM + 4 * index;
    copy_block(OBJ_VRAM + tile * 32, tvx_pixels(file), tvx_pixels_size(file));
    /* Square, 8 bits per pixel for Index256; 32 x 32; priority 0. */
    sprite[0] = (uint16_t)(y | (tvx_format(file) == TVX_INDEX256 ? 0x2000 : 0));
    sprite[1] = (uint16_t)(x | 0x8000);
    sprite[2] = (uint16_t)(tile | bank << 12);
    return tile + tvx_pixels_size(file) / 32;
}

/* Palette banks: a 256-colour sprite takes its colours from the whole object palette, but
 * sprite.png uses only entries 0 to 5, so only bank 0 is loaded from it, and banks 1 to 3 stay
 * free for 16-colour sprites. Bank 1 is loaded once, from knight.tvx: ghost.tvx was converted with
 * the same palette file, so its palette is the same and it is drawn through bank 1 too. Bank 3
 * holds slime_kept.tvx's palette as the artist ordered it, the teal that entry 0 holds included:
 * the hardware never draws entry 0, whatever its colour. */
static void show_sprites(void) {
    uint32_t tile = 0;
    if (!is_sprite(sprite_tvx, sprite_tvx_size) ||
        !is_sprite(sprite_rgba_tvx, sprite_rgba_tvx_size) ||
        !is_sprite(knight_tvx, knight_tvx_size) || !is_sprite(ghost_tvx, ghost_tvx_size) ||
        !is_sprite(slime_kept_tvx, slime_kept_tvx_size)) {
        show_red_screen();
    }
    show_backdrop();
    copy_block(OBJ_PALETTE, tvx_palette(sprite_tvx), 16 * 2);
    copy_block(OBJ_PALETTE + 16, tvx_palette(knight_tvx), 16 * 2);
    copy_block(OBJ_PALETTE + 32, tvx_palette(sprite_rgba_tvx), 16 * 2);
    copy_block(OBJ_PALETTE + 48, tvx_palette(slime_kept_tvx), 16 * 2);
    tile = show_sprite(12, sprite_tvx, tile, SPRITE_INDEXED_X, SPRITE_INDEXED_Y, 0);
    tile = show_sprite(13, sprite_rgba_tvx, tile, SPRITE_RGBA_X, SPRITE_RGBA_Y, 2);
    tile = show_sprite(14, knight_tvx, tile, SPRITE_KNIGHT_X, SPRITE_KNIGHT_Y, 1);
    tile = show_sprite(15, ghost_tvx, tile, SPRITE_GHOST_X, SPRITE_GHOST_Y, 1);
    show_sprite(16, slime_kept_tvx, tile, SPRITE_KEPT_X, SPRITE_KEPT_Y, 3);
    REG_DISPCNT = DISPCNT_MODE0 | DISPCNT_OBJ_1D | DISPCNT_OBJ;
}
#elif defined(SHOW_WALK) || defined(SHOW_BACKGROUNDS)
/* Waits for the start of the next vertical blank: the 68 lines' time after the screen's 160 lines
 * are drawn, when the registers, palettes and video memory may change without the change showing
 * halfway down a frame. */
static void wait_for_vblank(void) {
    while (REG_VCOUNT >= SCREEN_HEIGHT) {
    }
    while (REG_VCOUNT < SCREEN_HEIGHT) {
    }
}

#ifdef SHOW_WALK
/* The walk is object 12, in front of the checkerboard's twelve: its palette in object palette bank
 * 0, and the frame on show in object tiles 0 to 15, copied there from the sheet each time it turns
 * (tvx_frame finds the frame's 16 tiles, one after another as one-dimensional mapping takes
 * them). */
#define WALK_OBJECT 12

static void set_up_walk(void) {
    if (!tvx_valid(walk_tvx, walk_tvx_size) || tvx_format(walk_tvx) != TVX_INDEX16 ||
        tvx_frame_count(walk_tvx, WALK_SIZE, WALK_SIZE) != WALK_FRAMES) {
        show_red_screen();
    }
    show_backdrop();
    copy_block(OBJ_PALETTE, tvx_palette(walk_tvx), tvx_palette_size(walk_tvx));
}

static void move_walk(uint32_t t) {
    volatile uint16_t* sprite = OAM + 4 * WALK_OBJECT;
    if (t % WALK_TICKS == 0) {
        copy_block(OBJ_VRAM, tvx_frame(walk_tvx, WALK_SIZE, WALK_SIZE, walk_frame(t)),
                   tvx_frame_size(walk_tvx, WALK_SIZE, WALK_SIZE));
    }
    sprite[0] = WALK_Y;                         /* square, 4-bit tiles */
    sprite[1] = (uint16_t)(walk_x(t) | 0x8000); /* 32 x 32 */
    sprite[2] = 0;                              /* tile 0, priority 0, palette bank 0 */
    REG_DISPCNT = DISPCNT_MODE0 | DISPCNT_OBJ_1D | DISPCNT_OBJ;
}
#else
/* The backgrounds, in mode 1: the field is background 0 (regular, 16-colour tiles), the dial
 * background 2 (affine, whose tiles are always 256-colour).
 *   Video memory: char block 0 holds the dial's tiles (at most 256 of 64 bytes: the whole 16 KiB
 *   block), char block 1 the field's, screen block 26 the dial's map (32 x 32 entries of a byte)
 *   and screen blocks 28 to 31 the field's (64 x 64 entries of 2 bytes, 32 x 32 a block).
 *   Palette: a 256-colour background takes its colours from the whole background palette, and
 *   each 16-colour tile from one bank of it. dial.png uses entries 0 to 4 only, so just bank 0 is
 *   loaded from the dial, and the field's banks follow from bank 1: the map was made with
 *   --bank-base=1 (FIELD_BANK_BASE), so its entries name banks 1 and up, and
 *   tvx_map_copy_banks puts its banks there.
 *   Priorities: the dial 0, the field 1, so the field shows through the dial's transparent
 *   pixels, and all around it. */
#define DIAL_CHARS (VRAM + 0x0000)
#define FIELD_CHARS (VRAM + 0x4000)
#define DIAL_SCREEN 26
#define FIELD_SCREEN 28
#define SCREEN_BLOCK(n) (VRAM + 0x800 * (n))

static void set_up_backgrounds(void) {
    if (!tvx_valid(field_tvx, field_tvx_size) || !tvx_map_valid(field_tvm, field_tvm_size) ||
        tvx_format(field_tvx) != TVX_INDEX16 || tvx_map_kind(field_tvm) != TVX_MAP_REGULAR ||
        tvx_map_width(field_tvm) != 64 || tvx_map_height(field_tvm) != 64 ||
        tvx_pixels_size(field_tvx) > 0x4000 || !tvx_valid(dial_tvx, dial_tvx_size) ||
        !tvx_map_valid(dial_tvm, dial_tvm_size) || tvx_format(dial_tvx) != TVX_INDEX256 ||
        tvx_map_kind(dial_tvm) != TVX_MAP_AFFINE || tvx_map_width(dial_tvm) != 32 ||
        tvx_map_height(dial_tvm) != 32 || tvx_pixels_size(dial_tvx) > 0x4000) {
        show_red_screen();
    }
    copy_block(BG_PALETTE, tvx_palette(dial_tvx), 16 * 2);
    tvx_map_copy_banks(BG_PALETTE, field_tvm, FIELD_BANK_BASE);
    copy_block(DIAL_CHARS, tvx_pixels(dial_tvx), tvx_pixels_size(dial_tvx));
    copy_block(FIELD_CHARS, tvx_pixels(field_tvx), tvx_pixels_size(field_tvx));
    tvx_map_copy(SCREEN_BLOCK(DIAL_SCREEN), 1, dial_tvm, 0, 0, 32, 32);
    tvx_map_copy(SCREEN_BLOCK(FIELD_SCREEN), 3, field_tvm, 0, 0, 64, 64);
    /* Background 0: priority 1, char block 1, 16 colours, size 3 (512 x 512). Background 2:
     * priority 0, char block 0, size 1 (256 x 256), bit 13 clear: no wrapping around. */
    REG_BG0CNT = (uint16_t)(3 << 14 | FIELD_SCREEN << 8 | 1 << 2 | 1);
    REG_BG2CNT = (uint16_t)(1 << 14 | DIAL_SCREEN << 8);
}

static void move_backgrounds(uint32_t t) {
    struct dial_affine m = dial_at(t);
    REG_BG0HOFS = (uint16_t)field_x(t);
    REG_BG0VOFS = (uint16_t)field_y(t);
    REG_BG2PA = (uint16_t)m.pa;
    REG_BG2PB = (uint16_t)m.pb;
    REG_BG2PC = (uint16_t)m.pc;
    REG_BG2PD = (uint16_t)m.pd;
    REG_BG2X = (uint32_t)m.x;
    REG_BG2Y = (uint32_t)m.y;
    REG_DISPCNT = DISPCNT_MODE1 | DISPCNT_BG0 | DISPCNT_BG2;
}
#endif
#else
/* tvx_valid must refuse a file at an odd address, and on this processor nothing else would tell:
 * a halfword load from an odd address takes the halfword at the even address below, its bytes
 * rotated, without any fault. With a zero byte before the file, every header word below 256 (all
 * four of the logo's) then reads right. So the file is copied to one byte past a multiple of 4 in
 * external work RAM, after a zero byte, and tvx_valid must refuse that copy. */
static int refuses_odd_copy(const void* file, uint32_t size) {
    EWRAM[0] = 0;
    copy_block(EWRAM + 1, file, size);
    return !tvx_valid(EWRAM + 1, size);
}

static void show_tiles(const void* file) {
    uint32_t across = tvx_width(file) / 8, down = tvx_height(file) / 8;
    uint32_t tile_bytes = tvx_tile_bytes(file);
    uint32_t i, x, y;
    uint16_t tile = 1;
    copy_block(BG_PALETTE, tvx_palette(file), tvx_palette_size(file));
    for (i = 0; i < tile_bytes; i += 4) {
        *(volatile uint32_t*)(VRAM + i) = 0; /* tile 0: empty */
    }
    copy_block(VRAM + tile_bytes, tvx_pixels(file), tvx_pixels_size(file));
    for (i = 0; i < 32 * 32; i++) {
        SCREEN_BLOCK_31[i] = 0;
    }
    for (y = 0; y < down; y++) {
        for (x = 0; x < across; x++) {
            SCREEN_BLOCK_31[y * 32 + x] = tile++;
        }
    }
    /* Priority 0, char block 0, 8 bits per pixel for Index256, map in screen block 31. */
    REG_BG0CNT = (uint16_t)(31 << 8 | (tvx_format(file) == TVX_INDEX256 ? 0x80 : 0));
    REG_DISPCNT = DISPCNT_MODE0 | DISPCNT_OBJ_1D | DISPCNT_BG0 | DISPCNT_OBJ;
}

static void show_bitmap(const void* file) {
    uint32_t width = tvx_width(file), height = tvx_height(file), y;
    const unsigned char* pixels = (const unsigned char*)tvx_pixels(file);
    for (y = 0; y < height; y++) {
        copy_block(VRAM + y * SCREEN_WIDTH * 2, pixels + y * width * 2, width * 2);
    }
    REG_WIN0H = (uint16_t)width; /* left 0, right `width` */
    REG_WIN0V = (uint16_t)height;
    REG_WININ = 0x0014;  /* inside window 0: background 2 and sprites */
    REG_WINOUT = 0x0010; /* outside: sprites only */
    REG_DISPCNT = DISPCNT_MODE3 | DISPCNT_OBJ_1D | DISPCNT_BG2 | DISPCNT_OBJ | DISPCNT_WIN0;
}

static void show_logo(void) {
    const void* file = logo_tvx;
    if (!tvx_valid(file, logo_tvx_size) || !refuses_odd_copy(file, logo_tvx_size) ||
        tvx_width(file) > SCREEN_WIDTH || tvx_height(file) > SCREEN_HEIGHT) {
        show_red_screen();
    }
    show_backdrop();
    if (tvx_format(file) == TVX_FULLCOLOR16) {
        show_bitmap(file);
    } else {
        show_tiles(file);
    }
}
#endif

int main(void) {
#if defined(SHOW_WALK) || defined(SHOW_BACKGROUNDS)
    uint32_t t;
#ifdef SHOW_WALK
    set_up_walk();
#else
    set_up_backgrounds();
#endif
    /* The display shows nothing until the first vertical blank after the set-up, which turns the
     * layers on, showing t = 0 from the next frame: however long the set-up takes, the frames
     * count from there. */
    for (t = 0;; t++) {
        wait_for_vblank();
#ifdef SHOW_WALK
        move_walk(t);
#else
        move_backgrounds(t);
#endif
    }
#else
#ifdef SHOW_SPRITES
    show_sprites();
#else
    show_logo();
#endif
    for (;;) {
    }
#endif
}
