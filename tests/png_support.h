// Reading the PNGs tvx2png writes, for the tests that check them.
#pragma once

#include <cstdint>
#include <string>

#include "test_support.h"

namespace bmp2tvx::test {

struct Picture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    Bytes rgba;  // 8-bit red, green, blue, alpha; top row first
};

// The picture in a PNG file; empty if it cannot be read.
Picture ReadPng(const std::string& path);

}  // namespace bmp2tvx::test
