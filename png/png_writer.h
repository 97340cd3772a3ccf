// Writing 8-bit RGBA PNG files.
#pragma once

#include <cstdint>
#include <string>

namespace bmp2tvx {

// Writes `rgba` (width x height pixels, top row first) as a PNG at `path`. On failure prints one
// line, leaves any file already at the path as it was, and returns false.
bool WritePng(const std::string& path, std::uint32_t width, std::uint32_t height,
              const std::uint8_t* rgba);

}  // namespace bmp2tvx
