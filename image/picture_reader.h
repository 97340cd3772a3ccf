// Reading any picture the tool takes. A file is told by its first bytes: "BM" for a BMP
// (bmp_reader.cpp describes the file), the PNG signature for a PNG (png_reader.cpp). Every reader
// prints one line naming the picture on standard error when it fails, and the picture must then
// not be used.
#pragma once

#include <cstddef>
#include <cstdint>

#include "picture.h"

namespace bmp2tvx {

bool IsBmpSignature(const std::uint8_t* head, std::uint64_t size);
bool IsPngSignature(const std::uint8_t* head, std::uint64_t size);

// Loads the picture whose bytes `source` holds; its rows keep the source to be read from. Bytes
// that are neither a BMP nor a PNG are not a valid bitmap file.
bool LoadPicture(InputFile file, SourceImage& image);

// A BMP: uncompressed, or with bit fields for 16 and 32 bits; 1-, 4- and 8-bit pictures are
// indexed, 16-, 24- and 32-bit ones true colour.
bool LoadBitmap(InputFile file, SourceImage& image);

// A PNG, with libpng; a build without it refuses every PNG in one line.
bool LoadPng(InputFile file, SourceImage& image);

// Decodes rows first .. first + count - 1 from the top of a PNG read row by row into `out`,
// BytesPerPixel bytes a pixel, starting the decoder again from the file's beginning when `first`
// is not the row that follows the last one decoded. False when decoding failed or found a partly
// transparent pixel, its line printed.
bool ReadPngRows(PngDecoder& decoder, std::int32_t first, std::int32_t count, std::uint8_t* out);

}  // namespace bmp2tvx
