/* How the walk and backgrounds ROMs of the example game move their pictures. Each counts the
 * vertical blanks its main loop has waited for, t (0 at the first), and after each one sets
 * everything on screen from t alone: what the next frame shows is a function of t, the same on
 * every run. The emulator test includes this file to work out what every pixel of the screen must
 * show after a given number of frames. Nothing here divides but by powers of 2: the ARM7TDMI has
 * no divide instruction. */
#ifndef BMP2TVX_EXAMPLES_GBA_MOTION_H
#define BMP2TVX_EXAMPLES_GBA_MOTION_H

#include <stdint.h>

/* walk.png: a sheet of WALK_FRAMES frames of WALK_SIZE x WALK_SIZE pixels, converted with -c4
 * --frame=32x32 and shown as one object that turns to the next frame every WALK_TICKS vertical
 * blanks and walks right a pixel every second one, from WALK_X to WALK_X + 127 and back to the
 * start, its top at WALK_Y. */
#define WALK_SIZE 32
#define WALK_FRAMES 4
#define WALK_TICKS 8
#define WALK_X 40
#define WALK_Y 64

static inline uint32_t walk_frame(uint32_t t) {
    return (t / WALK_TICKS) % WALK_FRAMES;
}
static inline uint32_t walk_x(uint32_t t) {
    return WALK_X + (t / 2) % 128;
}

/* field.png: 512 x 512 pixels converted with -c4 --map --bank-base=1, background 0 of size 3
 * (512 x 512, which the scroll registers wrap around). The screen's top left corner is at field
 * pixel (field_x(t), field_y(t)): the view drifts right a pixel a frame and down a pixel every
 * second one. */
#define FIELD_BANK_BASE 1

static inline uint32_t field_x(uint32_t t) {
    return t % 512;
}
static inline uint32_t field_y(uint32_t t) {
    return (t / 2) % 512;
}

/* dial.png: 256 x 256 pixels converted with -c8 --map=affine, background 2 of affine size 1
 * (256 x 256), without wrapping around: outside its 256 x 256 pixels it is transparent. It turns
 * 1/256 of a turn a frame about its centre, which stays at the centre of the screen, at half its
 * size (each screen pixel steps two of its pixels).
 *
 * The hardware draws screen pixel (x, y) of an affine background from the background's pixel
 *   (X + PA x + PB y, Y + PC x + PD y) >> 8
 * each coordinate shifted arithmetically: PA to PD are 8.8 fixed point (16 bits, signed) and X, Y,
 * the reference point, 20.8 (28 bits, signed). For a turn by angle a (in 256ths of a turn) about
 * the dial's centre (128, 128) shown at the screen's (120, 80): PA = PD = s cos a, PB = -s sin a,
 * PC = s sin a, s the scale, and X, Y what puts (128, 128) at (120, 80). */
#define DIAL_SCALE 2

/* 256 sin(2 pi i / 256) for i from 0 to 64, rounded: a quarter turn. */
static const int16_t dial_quarter_sine[65] = {
    0,   6,   13,  19,  25,  31,  38,  44,  50,  56,  62,  68,  74,  80,  86,  92,  98,
    104, 109, 115, 121, 126, 132, 137, 142, 147, 152, 157, 162, 167, 172, 177, 181, 185,
    190, 194, 198, 202, 206, 209, 213, 216, 220, 223, 226, 229, 231, 234, 237, 239, 241,
    243, 245, 247, 248, 250, 251, 252, 253, 254, 255, 255, 256, 256, 256};

/* 256 sin(2 pi a / 256), 8.8 fixed point, for any a. */
static inline int32_t dial_sine(uint32_t a) {
    uint32_t i = a % 64, quarter = (a / 64) % 4;
    int32_t value = dial_quarter_sine[quarter % 2 ? 64 - i : i];
    return quarter < 2 ? value : -value;
}

struct dial_affine {
    int32_t pa, pb, pc, pd; /* BG2PA to BG2PD */
    int32_t x, y;           /* BG2X, BG2Y */
};

static inline struct dial_affine dial_at(uint32_t t) {
    struct dial_affine m;
    uint32_t a = t % 256;
    int32_t sine = DIAL_SCALE * dial_sine(a), cosine = DIAL_SCALE * dial_sine(a + 64);
    m.pa = cosine;
    m.pb = -sine;
    m.pc = sine;
    m.pd = cosine;
    m.x = 128 * 256 - (m.pa * 120 + m.pb * 80);
    m.y = 128 * 256 - (m.pc * 120 + m.pd * 80);
    return m;
}

#endif
