/* The layer behind the picture in the example game: a checkerboard of 8 x 8 squares over the
 * whole screen, drawn with sprites in two colours of the object palette. Where the picture is
 * transparent (palette entry 0, the key colour), the checkerboard shows. The emulator test
 * includes this file to work out what every pixel of the screen must show. */
#ifndef BMP2TVX_EXAMPLES_GBA_BACKDROP_H
#define BMP2TVX_EXAMPLES_GBA_BACKDROP_H

#define BACKDROP_SQUARE 8
/* 15-bit colours: the square at pixel column x and row y is light when
 * x / BACKDROP_SQUARE + y / BACKDROP_SQUARE is even, dark otherwise. */
#define BACKDROP_LIGHT 0x5EF7 /* red, green, blue 23 */
#define BACKDROP_DARK 0x3DEF  /* red, green, blue 15 */

#endif
