// Turning a 24-bit picture with few colours into a paletted one.
#pragma once

#include <cstddef>

#include "image/source_image.h"

namespace bmp2tvx {

// Gives a FullColor image an exact colour table: its distinct colours in the order they first
// appear in tile order (rows of tiles from the top, each left to right, each tile's rows top to
// bottom), the other entries black and not counted as supplied. The pixels become indices into
// it, in place, and the image becomes an Index image. A picture with more than `limit` colours is
// refused with one line naming `path`, and false; the image is then unchanged.
bool BuildColorTable(SourceImage& image, std::size_t limit, const char* path);

}  // namespace bmp2tvx
