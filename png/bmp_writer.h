// Writing 32-bit BMP files whose alpha byte carries transparency.
#pragma once

#include <cstdint>
#include <string>

namespace bmp2tvx {

// Writes `rgba` (width x height pixels, top row first) as a 32-bit BMP at `path`: a version 4
// header whose bit fields give blue, green, red and alpha a byte each, rows bottom-up, as GIMP
// writes a picture with an alpha channel and bmp2tvx reads one back. On failure prints one line,
// leaves any file already at the path as it was, and returns false.
bool WriteBmp(const std::string& path, std::uint32_t width, std::uint32_t height,
              const std::uint8_t* rgba);

}  // namespace bmp2tvx
