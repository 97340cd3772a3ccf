// Reading any picture the tool takes: a file is told by its first bytes, "BM" for a BMP
// (bmp_reader.h) and the PNG signature for a PNG (png_reader.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "source_image.h"
#include "system.h"

namespace bmp2tvx {

// Loads the picture in the open `file`. On failure prints one line naming the file's path on
// standard error and returns false; `image` must then not be used. A file that is neither a BMP
// nor a PNG is not a valid bitmap file.
bool LoadPicture(InputFile file, SourceImage& image);

// The same for a file held in memory; `name` is used in messages.
bool LoadPictureFromMemory(const char* name, const std::uint8_t* data, std::size_t size,
                           SourceImage& image);

}  // namespace bmp2tvx
