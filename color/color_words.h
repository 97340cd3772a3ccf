// Blue, green, red byte triples to little-endian colour words (red in bits 0-4, green 5-9, blue
// 10-14, each component's top five bits): the loop that FullColor16 and the mapping onto a
// palette spend their time in, written so that compilers work on many pixels per instruction. It
// has internal linkage and calls nothing, so every file that includes it compiles a copy of its
// own with that file's processor options (color_words_avx2.cpp makes the AVX2 one), and no code
// compiled for AVX2 can stand in for code that other files share.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bmp2tvx {

static inline void BgrToColor15Loop(const std::uint8_t* __restrict bgr, std::size_t count,
                                    std::uint8_t* __restrict out) {
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned word =
            (bgr[3 * i + 2] >> 3) | (bgr[3 * i + 1] >> 3) << 5 | (bgr[3 * i] >> 3) << 10;
        out[2 * i] = static_cast<std::uint8_t>(word);
        out[2 * i + 1] = static_cast<std::uint8_t>(word >> 8);
    }
}

// The loop in a faster form where the build has one and the processor runs it; false, with
// nothing done, where not.
bool BgrToColor15Faster(const std::uint8_t* bgr, std::size_t count, std::uint8_t* out);

}  // namespace bmp2tvx
