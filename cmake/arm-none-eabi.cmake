# Cross-compiling for the Game Boy Advance's ARM7TDMI with a plain arm-none-eabi GCC (Debian:
# gcc-arm-none-eabi), no devkitPro needed. Code is Thumb by default, the fast choice for code
# running from the cartridge's 16-bit bus. Programs bring their own start-up code and linker
# script, so nothing here links a C library or start files.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)

find_program(ARM_NONE_EABI_GCC arm-none-eabi-gcc REQUIRED)
set(CMAKE_C_COMPILER "${ARM_NONE_EABI_GCC}")
set(CMAKE_ASM_COMPILER "${ARM_NONE_EABI_GCC}")

# The compiler cannot link a program without a linker script, so configure-time checks only
# compile.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_C_FLAGS_INIT "-mcpu=arm7tdmi -mtune=arm7tdmi -mthumb -mthumb-interwork -ffreestanding")
set(CMAKE_ASM_FLAGS_INIT "-mcpu=arm7tdmi -mthumb-interwork")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-nostartfiles -nostdlib")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
