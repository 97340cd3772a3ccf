// Reading PNG files into a SourceImage, with libpng.
//
// An indexed PNG (colour type 3, 1 to 8 bits) is read as an 8-bit BMP would be: its PLTE chunk
// is the colour table, in order, and its pixels the same indices, one byte each; the entries whose
// tRNS alpha is 0 are transparent. Every other PNG (grey, grey with alpha, RGB, RGBA, at any bit
// depth) is read as a 24-bit one: each channel taken to 8 bits (a 16-bit channel's high byte; grey
// below 8 bits by repeating its bits), with an alpha byte a pixel when the file has an alpha
// channel or a tRNS colour. A pixel that is neither fully transparent nor fully opaque is refused.
// Colours are used as stored: gamma, colour profiles and every other ancillary chunk are read
// past. A damaged file (a CRC, the compressed data, a missing chunk) is refused in one line.
//
// An indexed or interlaced picture is decoded once, whole, as it is loaded; any other is decoded
// row by row as the conversion reads it, from the top down, and so never held whole.
#pragma once

#include <cstddef>
#include <cstdint>

#include "source_image.h"
#include "system.h"

namespace bmp2tvx {

// Whether `size` bytes starting at `head` begin with the PNG signature.
bool IsPngSignature(const std::uint8_t* head, std::size_t size);

// Loads a PNG whose sides are multiples of 8 from the open `file`. On failure prints one line
// naming the file's path on standard error and returns false; `image` must then not be used. A
// build without libpng refuses every PNG so.
bool LoadPng(InputFile file, SourceImage& image);

// The same for a file held in memory (copied); `name` is used in messages.
bool LoadPngFromMemory(const char* name, const std::uint8_t* data, std::size_t size,
                       SourceImage& image);

// Decodes rows first .. first + count - 1 from the top into `out`, BytesPerPixel bytes a pixel,
// starting the decoder again from the file's beginning when `first` is not the row that follows
// the last one decoded. False when decoding failed or found a partly transparent pixel, its line
// printed.
bool ReadPngRows(PngDecoder& decoder, std::int32_t first, std::int32_t count, std::uint8_t* out);

}  // namespace bmp2tvx
