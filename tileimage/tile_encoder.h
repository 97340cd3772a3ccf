// Turning a SourceImage into the bytes of a tile image file. These functions fill memory; only
// WriteTileImage (tile_writer.h) writes a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "source_image.h"
#include "tile_image.h"

namespace bmp2tvx {

// How an encoding ended.
enum class Encoding {
    Complete,      // every byte went to the sink
    SinkStopped,   // the sink asked to stop
    ReadFailed,    // reading the pixels failed, its one line printed
    AboveIndex16,  // an Index16 picture has a pixel above 15, which 4 bits cannot hold
};

// Receives the file's bytes in order, one block at a time; returns false to stop.
using ByteSink = std::function<bool(std::span<const std::uint8_t>)>;

// Encodes the whole file through `scratch` (at least 64 bytes; larger blocks mean fewer calls to
// `sink`), reading the pixels once, a band of eight rows at a time. The image must carry what the
// format reads: index pixels for Index16 and Index256, either kind for FullColor16 (an Index
// picture's colours are looked up in its table). 4-bit tiles pack each pair of pixels as
// (right x 16 + left) modulo 256. An Index16 picture is checked as it is encoded: the encoding
// stops after the first band with a pixel above 15, whose tiles still reach the sink.
Encoding EmitTileImage(const SourceImage& image, TileImageFormat format,
                       std::span<std::uint8_t> scratch, const ByteSink& sink);

// The whole file in memory.
Encoding EncodeTileImage(const SourceImage& image, TileImageFormat format,
                         std::vector<std::uint8_t>& file);

// The same, empty unless the encoding is complete.
std::vector<std::uint8_t> EncodeTileImage(const SourceImage& image, TileImageFormat format);

}  // namespace bmp2tvx
