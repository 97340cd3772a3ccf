/* Where the sprites ROM of the example game (sprites.gba) shows its five 32 x 32 sprites over the
 * checkerboard: the top left corner of each on screen, none a multiple of the checkerboard's
 * square, so that the transparent pixels around every sprite must show squares of both colours.
 * The emulator test includes this file to work out what every pixel of the screen must show. */
#ifndef BMP2TVX_EXAMPLES_GBA_SPRITES_H
#define BMP2TVX_EXAMPLES_GBA_SPRITES_H

#define SPRITE_SIZE 32

/* sprite.png, indexed with a transparent entry, converted without flags: Index256. */
#define SPRITE_INDEXED_X 20
#define SPRITE_INDEXED_Y 60
/* sprite_rgba.png, the same sprite as RGBA, converted with -c4: Index16. */
#define SPRITE_RGBA_X 76
#define SPRITE_RGBA_Y 60
/* knight.png and ghost.png, 24-bit, both converted with --palette=bank1.gpl: Index16, drawn
 * through one palette bank. */
#define SPRITE_KNIGHT_X 132
#define SPRITE_KNIGHT_Y 60
#define SPRITE_GHOST_X 188
#define SPRITE_GHOST_Y 60
/* slime_kept.png, indexed with entry 0 teal and entry 1 a black outline, converted with -c4
 * --key=none: Index16 with every index kept, below sprite.png. */
#define SPRITE_KEPT_X 20
#define SPRITE_KEPT_Y 108

#endif
