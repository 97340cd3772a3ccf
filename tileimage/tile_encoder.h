// The encoder: a picture's pixels to the bytes of a tile image file, as the colour plan and the
// tile layout decided them. It decides and refuses nothing; it only fails when the pixels cannot
// be read or memory runs out, with that one line printed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "picture.h"
#include "system.h"
#include "tile_image.h"
#include "tile_layout.h"

namespace bmp2tvx {

// How stored pixels become the bytes the file holds.
struct PixelCoding {
    TargetFormat format = TargetFormat::Index256;
    // The palette block's words (its first PaletteEntries(format)); for an indexed picture written
    // as FullColor16, the word of each index.
    std::array<Color15, 256> palette{};
    // Index pixels: the index each stored one is written as (every one below 16 for Index16).
    IndexMap map = IdentityMap();
    // A transparent true-colour pixel written as FullColor16: its word.
    Color15 clear = 0;
};

// Receives the file's bytes in order, one block at a time.
using ByteSink = std::function<void(std::span<const std::uint8_t>)>;

// Encodes the whole file through `scratch` (at least 64 bytes; larger blocks mean fewer calls to
// `sink`), reading the pixels once, a strip of rows at a time. The pixels are indices for the
// tiled layouts, and either kind for FullColor16. 4-bit tiles hold the left pixel in the low
// nibble.
bool EmitTileImage(const PixelCoding& coding, const TileLayout& layout, SourceImage& pixels,
                   std::span<std::uint8_t> scratch, const ByteSink& sink);

// The indices the pixels of `pixels` are written as, in memory, rows from the top: what a
// background's tiles are compared by. Nothing when reading them failed or memory ran out (its
// line printed).
std::optional<SourceImage> WrittenIndices(const PixelCoding& coding, SourceImage& pixels);

// The whole file in memory, or into `output` through a block of its own (a write that fails is
// remembered by `output`).
bool EncodeTileImage(const PixelCoding& coding, const TileLayout& layout, SourceImage& pixels,
                     std::vector<std::uint8_t>& file);
bool WriteTileImage(OutputFile& output, const PixelCoding& coding, const TileLayout& layout,
                    SourceImage& pixels);

}  // namespace bmp2tvx
