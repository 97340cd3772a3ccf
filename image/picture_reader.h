// Reading any picture the tool takes into a SourceImage. A file is told by its first bytes: "BM"
// for a BMP (bmp_reader.cpp describes the file), the PNG signature for a PNG (png_reader.cpp).
// Every reader prints one line naming the file's path on standard error when it fails, and the
// picture must then not be used.
#pragma once

#include <cstddef>
#include <cstdint>

#include "source_image.h"
#include "system.h"

namespace bmp2tvx {

// Loads the picture in the open `file`, which the picture may keep to read its pixels from. A
// file that is neither a BMP nor a PNG is not a valid bitmap file.
bool LoadPicture(InputFile file, SourceImage& image);

// The same for a file held in memory; `name` is used in messages.
bool LoadPictureFromMemory(const char* name, const std::uint8_t* data, std::size_t size,
                           SourceImage& image);

// Whether a file whose first bytes are `head` (`size` of them, or more) starts as a BMP does:
// "BM".
bool IsBmpSignature(const std::uint8_t* head, std::uint64_t size);

// A BMP: uncompressed, or with bit fields for 16 and 32 bits; 1-, 4- and 8-bit pictures are
// Index pictures, 16-, 24- and 32-bit ones FullColor pictures.
bool LoadBitmap(InputFile file, SourceImage& image);
bool LoadBitmapFromMemory(const char* name, const std::uint8_t* data, std::size_t size,
                          SourceImage& image);

// A PNG, with libpng; a build without it refuses every PNG in one line.
bool IsPngSignature(const std::uint8_t* head, std::size_t size);
bool LoadPng(InputFile file, SourceImage& image);
bool LoadPngFromMemory(const char* name, const std::uint8_t* data, std::size_t size,
                       SourceImage& image);

// Decodes rows first .. first + count - 1 from the top of a PNG read row by row into `out`,
// BytesPerPixel bytes a pixel, starting the decoder again from the file's beginning when `first`
// is not the row that follows the last one decoded. False when decoding failed or found a partly
// transparent pixel, its line printed.
bool ReadPngRows(PngDecoder& decoder, std::int32_t first, std::int32_t count, std::uint8_t* out);

}  // namespace bmp2tvx
