// Reading the PNGs tvx2png writes, and writing PNGs for bmp2tvx to read, with libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "test_support.h"

namespace bmp2tvx::test {

struct Picture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    Bytes rgba;  // 8-bit red, green, blue, alpha; top row first
};

// The picture in a PNG file; empty if it cannot be read.
Picture ReadPng(const std::string& path);

// A PNG to write. Samples are given top row first, one byte each at 8 bits or fewer (palette
// indices, or grey values of the given depth), two bytes most significant first at 16 bits.
struct PngSpec {
    std::uint32_t width = 16;
    std::uint32_t height = 8;
    int colorType = 3;  // 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<ColorEntry> palette;
    std::vector<std::uint16_t> trns;  // palette entries' alphas, or the transparent grey or RGB
    Bytes samples;
};

Bytes BuildPng(const PngSpec& spec);

// A PNG whose header claims `width` x `height` pixels of the colour type and depth (a palette of
// two colours for type 3), over the compressed `rows` (as the file stores them, a filter byte
// each), however few they are.
Bytes ClaimingPng(std::uint32_t width, std::uint32_t height, int colorType, int bitDepth,
                  bool interlaced, const Bytes& rows);

}  // namespace bmp2tvx::test
