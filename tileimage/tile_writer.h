#pragma once

#include <functional>
#include <string>

#include "source_image.h"
#include "tile_encoder.h"
#include "tile_image.h"

namespace bmp2tvx {

// Writes the whole tile image file at `outputPath`, calling `announce` once before the file takes
// its place and before any complaint about the output is printed. Returns Complete when the file
// is in place. On any other result any file already at the path is left as it was: an output or
// read failure has printed its line; AboveIndex16 (an Index16 picture with a pixel above 15)
// has printed nothing, not even the announcement, for the caller to refuse the picture.
Encoding WriteTileImage(const std::string& outputPath, const SourceImage& image,
                        TileImageFormat format, const std::function<void()>& announce);

}  // namespace bmp2tvx
