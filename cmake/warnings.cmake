# bmp2tvx_flags: what every target of ours links, and nothing else does (GoogleTest and the other
# libraries keep their own flags): warnings as errors, and the sanitizers of the checking builds.
add_library(bmp2tvx_flags INTERFACE)
if(MSVC)
    target_compile_options(bmp2tvx_flags INTERFACE /W4 /WX /utf-8)
else()
    target_compile_options(bmp2tvx_flags INTERFACE -Wall -Wextra -Wpedantic -Werror)
endif()

# BMP2TVX_SANITIZE builds everything under AddressSanitizer and UndefinedBehaviorSanitizer;
# BMP2TVX_FUZZ (clang only) adds the libFuzzer targets, whose code is instrumented the same way.
if(BMP2TVX_SANITIZE OR BMP2TVX_FUZZ)
    target_compile_options(bmp2tvx_flags INTERFACE -fsanitize=address,undefined
        -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
    target_link_options(bmp2tvx_flags INTERFACE -fsanitize=address,undefined
        -fno-sanitize-recover=all)
    target_compile_definitions(bmp2tvx_flags INTERFACE BMP2TVX_SANITIZED)
endif()
if(BMP2TVX_FUZZ)
    target_compile_options(bmp2tvx_flags INTERFACE -fsanitize=fuzzer-no-link)
endif()

# MinGW's own printf, which knows every C99 format ("%zu" among them) on every Windows version.
if(MINGW)
    target_compile_definitions(bmp2tvx_flags INTERFACE __USE_MINGW_ANSI_STDIO=1)
endif()
