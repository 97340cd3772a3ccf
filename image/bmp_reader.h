// Reading Windows bitmap files into a SourceImage.
#pragma once

#include <cstddef>
#include <cstdint>

#include "source_image.h"

namespace bmp2tvx {

// Loads an uncompressed 8-bit or 24-bit BMP whose sides are multiples of 8 from the open `file`,
// which the picture keeps to read its pixels from. On failure prints one line naming the file's
// path on standard error and returns false; `image` must then not be used.
bool LoadBitmap(InputFile file, SourceImage& image);

// The same checks and result for a file already in memory; `name` is used in messages.
bool LoadBitmapFromMemory(const char* name, const std::uint8_t* data, std::size_t size,
                          SourceImage& image);

}  // namespace bmp2tvx
