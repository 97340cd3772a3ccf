#pragma once

#include <string>

#include "image/source_image.h"
#include "tileimage/tile_image.h"

namespace bmp2tvx {

// Writes the whole tile image file at `outputPath`. On failure prints one line, leaves any file
// already at the path as it was, and returns false.
bool WriteTileImage(const std::string& outputPath, const SourceImage& image,
                    TileImageFormat format);

}  // namespace bmp2tvx
