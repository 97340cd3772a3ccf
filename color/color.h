// Colours as the pictures hold them and as the handheld shows them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bmp2tvx {

// A colour of 8 bits a channel, in the byte order of a BMP's colour table.
struct ColorEntry {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    friend bool operator==(const ColorEntry&, const ColorEntry&) = default;
};

// The handheld's colour word: red in bits 0-4, green in bits 5-9, blue in bits 10-14, bit 15
// clear.
using Color15 = std::uint16_t;

// Each 8-bit component keeps its top five bits, with no rounding.
constexpr Color15 ToColor15(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    return static_cast<Color15>((red >> 3) | ((green >> 3) << 5) | ((blue >> 3) << 10));
}

constexpr Color15 ToColor15(ColorEntry color) {
    return ToColor15(color.blue, color.green, color.red);
}

// A word as the display shows it, 8 bits a channel: each 5-bit component widened by repeating its
// top bits (0x1F gives 255, 0x10 gives 132), so that ToColor15 gives the word back.
constexpr ColorEntry ShownColor(Color15 word) {
    const auto widen = [](unsigned c) { return static_cast<std::uint8_t>((c << 3) | (c >> 2)); };
    return ColorEntry{widen((word >> 10) & 0x1F), widen((word >> 5) & 0x1F), widen(word & 0x1F)};
}

// Blue, green, red byte triples to little-endian colour words, `count` of them. BgrToColor15 takes
// a copy of the loop compiled for the processor's wider instructions where the build has one and
// the processor runs it (color_words_avx2.cpp); BgrToColor15Plain never does, for measuring it.
void BgrToColor15(const std::uint8_t* bgr, std::size_t count, std::uint8_t* out);
void BgrToColor15Plain(const std::uint8_t* bgr, std::size_t count, std::uint8_t* out);

}  // namespace bmp2tvx
