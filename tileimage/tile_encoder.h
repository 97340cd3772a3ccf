// Turning a SourceImage into the bytes of a tile image file. These functions fill memory; only
// WriteTileImage (tile_writer.h) writes a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "image/source_image.h"
#include "tileimage/tile_image.h"

namespace bmp2tvx {

// Whether every index pixel is below 16, as a 4-bit tile needs; nothing when reading the pixels
// from the file failed (its line printed).
std::optional<bool> FitsIndex16(const SourceImage& image);

// Receives the file's bytes in order, one block at a time; returns false to stop.
using ByteSink = std::function<bool(std::span<const std::uint8_t>)>;

// Encodes the whole file through `scratch` (at least 64 bytes; larger blocks mean fewer calls to
// `sink`). The image must carry what the format reads: index pixels for Index16 and Index256,
// either kind for FullColor16 (an Index picture's colours are looked up in its table). 4-bit tiles
// pack each pair of pixels as (right x 16 + left) modulo 256. Pixels still in the file are read a
// few bands at a time. Returns false as soon as `sink` does, or when reading the pixels fails (its
// line printed).
bool EmitTileImage(const SourceImage& image, TileImageFormat format,
                   std::span<std::uint8_t> scratch, const ByteSink& sink);

// The whole file in memory; empty if reading the pixels failed.
std::vector<std::uint8_t> EncodeTileImage(const SourceImage& image, TileImageFormat format);

}  // namespace bmp2tvx
