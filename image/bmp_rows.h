// The rows of the BMP depths that are not already the picture's own pixels: 1- and 4-bit indices
// packed into bytes, and 16- and 32-bit words of bit fields.
#pragma once

#include <array>
#include <cstdint>

#include "picture.h"

namespace bmp2tvx {

// The bit fields of uncompressed 16-bit (5-5-5, the top bit unused) and 32-bit (blue, green,
// red, unused byte) files: red, green, blue, alpha.
constexpr std::array<std::uint32_t, 4> kMasks16 = {0x7C00, 0x03E0, 0x001F, 0};
constexpr std::array<std::uint32_t, 4> kMasks32 = {0xFF0000, 0xFF00, 0xFF, 0};

// Whether a 16- or 32-bit file's masks can be read: red, green and blue each one run of set bits
// within the pixel's `bitCount` bits, the alpha mask one run or empty, and no two overlapping.
bool MasksAreUsable(const std::array<std::uint32_t, 4>& masks, std::uint16_t bitCount);

// One stored row of `width` pixels as the picture's own: an index byte a pixel for 1- and 4-bit
// rows (the leftmost pixel in the most significant bits of its byte); blue, green, red bytes,
// and alpha when `alpha`, for 16- and 32-bit rows. A field narrower than 8 bits is widened by
// repeating its bits from the top (5-bit c gives (c << 3) | (c >> 2)); a wider one keeps its
// top 8 bits.
void UnpackRow(const StoredRows& stored, const std::uint8_t* row, std::int32_t width, bool alpha,
               std::uint8_t* out);

}  // namespace bmp2tvx
