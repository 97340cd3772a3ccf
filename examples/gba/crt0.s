/* Start-up code of the example game: the cartridge header, then the first instructions the
 * handheld runs from the cartridge (in ARM state, at 0x080000C0 after the branch at 0x08000000).
 * They set up the stacks, copy initialised data to internal work RAM, clear the zeroed data and
 * call main() in Thumb state. */
    .section .crt0, "ax", %progbits
    .arm
    .align 2
    .global _start
_start:
    b       reset
    /* 0x04: the Nintendo logo, 156 bytes. The boot ROM of real hardware refuses a cartridge
     * without it; the usual header-fixing tool writes it. Emulators do not check it. */
    .fill   156, 1, 0
    .ascii  "TVX EXAMPLE\0"     /* 0xA0: game title, 12 bytes */
    .ascii  "BTVE"              /* 0xAC: game code */
    .ascii  "00"                /* 0xB0: maker code */
    .byte   0x96                /* 0xB2: fixed value, must be 0x96 */
    .byte   0x00                /* 0xB3: main unit code */
    .byte   0x00                /* 0xB4: device type */
    .fill   7, 1, 0             /* 0xB5: reserved */
    .byte   0x00                /* 0xBC: software version */
    /* 0xBD: complement check: minus the sum of bytes 0xA0 to 0xBC, minus 0x19, modulo 256. The
     * emulator test recomputes it; change it whenever a byte above changes. */
    .byte   0x92
    .fill   2, 1, 0             /* 0xBE: reserved */

reset:                          /* 0xC0 */
    mov     r0, #0x04000000
    mov     r1, #0
    str     r1, [r0, #0x208]    /* interrupts off (IME = 0) */

    mov     r1, #0x12           /* IRQ mode: its own stack */
    msr     cpsr_c, r1
    ldr     sp, =__sp_irq
    mov     r1, #0x1F           /* system mode, where the program runs */
    msr     cpsr_c, r1
    ldr     sp, =__sp_usr

    ldr     r0, =__data_load    /* initialised data: ROM to internal work RAM */
    ldr     r1, =__data_start
    ldr     r2, =__data_end
1:  cmp     r1, r2
    ldrlo   r3, [r0], #4
    strlo   r3, [r1], #4
    blo     1b

    ldr     r1, =__bss_start    /* zeroed data */
    ldr     r2, =__bss_end
    mov     r3, #0
2:  cmp     r1, r2
    strlo   r3, [r1], #4
    blo     2b

    ldr     r0, =main           /* a Thumb function: bx switches state */
    mov     lr, pc
    bx      r0
3:  b       3b
    .pool
