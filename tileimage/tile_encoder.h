// Turning a SourceImage into the bytes of a tile image file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "image/source_image.h"
#include "tileimage/tile_image.h"

namespace bmp2tvx {

// The 8-byte header.
void WriteHeader(const SourceImage& image, TargetFormat format, std::uint8_t* out);

// Colour-table entries 0 to count - 1 as Color15 words; writes 2 x count bytes.
void WritePaletteBlock(const SourceImage& image, std::size_t count, std::uint8_t* out);

// The tile whose top-left pixel is at column x0 and row y0 from the top, from the index pixels.
// WriteTile8 writes 64 bytes; WriteTile4 writes 32, packing each pair of pixels as
// (right x 16 + left) modulo 256.
void WriteTile8(const SourceImage& image, std::int32_t x0, std::int32_t y0, std::uint8_t* out);
void WriteTile4(const SourceImage& image, std::int32_t x0, std::int32_t y0, std::uint8_t* out);

// Pixels xBegin to xEnd - 1 of row y from the top as Color15 words. An Index source looks each
// pixel's colour up in its colour table.
void WriteFullColorRow(const SourceImage& image, std::int32_t y, std::int32_t xBegin,
                       std::int32_t xEnd, std::uint8_t* out);

// Whether every index pixel is below 16, as a 4-bit tile needs.
bool FitsIndex16(const SourceImage& image);

// Receives the file's bytes in order, one block at a time; returns false to stop.
using ByteSink = std::function<bool(std::span<const std::uint8_t>)>;

// Encodes the whole file through `scratch` (at least 64 bytes; larger blocks mean fewer calls to
// `sink`). The image must carry what the format reads: index pixels for Index16 and Index256,
// either kind for FullColor16. Returns false as soon as `sink` does.
bool EmitTileImage(const SourceImage& image, TargetFormat format, std::span<std::uint8_t> scratch,
                   const ByteSink& sink);

// The whole file in memory.
std::vector<std::uint8_t> EncodeTileImage(const SourceImage& image, TargetFormat format);

}  // namespace bmp2tvx
