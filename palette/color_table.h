// Turning a 24-bit picture with few colours into a paletted one.
#pragma once

#include <cstddef>
#include <optional>

#include "key_color.h"
#include "source_image.h"

namespace bmp2tvx {

// The FullColor `picture` as an Index picture with an exact colour table of `entries` entries (16
// or 256), held in memory at one byte a pixel. Entry 0, the one the handheld draws as
// transparent, holds the key colour, and exactly the pixels of that colour use it; when no pixel
// has the key colour, no pixel uses entry 0 (a key that is no colour leaves entry 0 black). The
// picture's other colours follow from entry 1 in the order they first appear in tile order (rows
// of tiles from the top, each left to right, each tile's rows top to bottom); the rest of the
// table is black and not counted as supplied. A picture with more than `entries` - 1 colours
// besides the key colour is refused with one line naming its path; so is a failed read or
// allocation. Returns nothing then.
//
// `keyless` (--key=none) leaves entry 0 to the transparent pixels alone, with the colour word 0,
// whatever `key` is; every colour takes an entry from 1.
std::optional<SourceImage> IndexFullColorPicture(const SourceImage& picture, std::size_t entries,
                                                 KeyColor key, bool keyless = false);

}  // namespace bmp2tvx
