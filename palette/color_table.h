// Turning a 24-bit picture with few colours into a paletted one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "source_image.h"

namespace bmp2tvx {

// Turns a FullColor picture into an Index picture with an exact colour table of `entries`
// entries (16 or 256), held in memory at one byte a pixel. Entry 0, the one the handheld draws as
// transparent, holds the key colour, and exactly the pixels of that colour use it; when no pixel
// has the key colour, no pixel uses entry 0 (a key component outside 0..255 leaves entry 0 black).
// The picture's other colours follow from entry 1 in the order they first appear in tile order
// (rows of tiles from the top, each left to right, each tile's rows top to bottom); the rest of
// the table is black and not counted as supplied. A picture with more than `entries` - 1 colours
// besides the key colour is refused with one line naming its path; so is a failed read or
// allocation. Returns false then, and the picture must not be used.
bool IndexFullColorPicture(SourceImage& picture, std::size_t entries, std::int32_t keyRed,
                           std::int32_t keyGreen, std::int32_t keyBlue);

}  // namespace bmp2tvx
