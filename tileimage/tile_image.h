// The tile image file: the bytes the handheld's display hardware takes directly.
//
// Every multi-byte field is an unsigned 16-bit word, little-endian; nothing is padded or aligned.
//
// Header, 8 bytes:
//   offset 0  format code: 0 Index16, 1 Index256, 2 FullColor16
//   offset 2  width in tiles  (pixel width / 8, modulo 65536)
//   offset 4  height in tiles (pixel height / 8, modulo 65536)
//   offset 6  tile count      ((width in tiles x height in tiles) modulo 65536)
// The size fields are written for every format. They wrap for very large pictures, and files
// already in use rely on exactly that; the body always holds every tile.
//
// Body, by format:
//   Index16      16 palette words, then each tile in 4-bit form, 32 bytes a tile
//   Index256     256 palette words, then each tile in 8-bit form, 64 bytes a tile
//   FullColor16  one colour word per pixel, top row first, each row left to right
//
// Colour words (Color15): red in bits 0-4, green in bits 5-9, blue in bits 10-14, bit 15 clear.
// Tiles are 8 x 8 pixels, taken in rows of tiles from the top of the picture, each row of tiles
// left to right. Within a tile the eight pixel rows run top to bottom, each row left to right: one
// palette index per byte in 8-bit form; in 4-bit form two pixels per byte, the left pixel in the
// low nibble and the right pixel in the high nibble.
//
// This is the reference. README.md ("The tile image file"), the top comment of include/tvx.h and
// the manual page bmp2tvx(1) give the same table; a test checks tvx.h's rows against these.
#pragma once

#include <cstddef>
#include <cstdint>

#include "byte_order.h"
#include "color.h"

namespace bmp2tvx {

// The three layouts, by the code the header's first field holds: the one a conversion writes, or
// the one a reader finds in the file.
enum class TargetFormat : std::uint16_t { Index16 = 0, Index256 = 1, FullColor16 = 2 };

// "Index16", "Index256" or "FullColor16", as the tools print it.
const char* TargetFormatName(TargetFormat format);

constexpr std::size_t kTileSide = 8;
constexpr std::size_t kTile4Bytes = 32;
constexpr std::size_t kTile8Bytes = 64;

// The header's four fields, as the file holds them.
struct TileImageHeader {
    std::uint16_t formatCode = 0;
    std::uint16_t tilesAcross = 0;  // modulo 65536
    std::uint16_t tilesDown = 0;    // modulo 65536
    std::uint16_t tileCount = 0;    // (tilesAcross x tilesDown) modulo 65536
};

constexpr std::size_t kTileImageHeaderSize = 8;

// The header of a picture of `width` x `height` pixels (multiples of 8), its sizes wrapped.
TileImageHeader MakeTileImageHeader(TargetFormat format, std::uint32_t width, std::uint32_t height);

// The header's 8 bytes, little-endian, in field order.
void PutTileImageHeader(const TileImageHeader& header, std::uint8_t* out);
TileImageHeader GetTileImageHeader(const std::uint8_t* in);

// Whether a header's format code names one of the three layouts.
constexpr bool IsKnownFormat(std::uint16_t code) {
    return code <= static_cast<std::uint16_t>(TargetFormat::FullColor16);
}

// Number of palette entries the format's palette block holds (0 for FullColor16).
constexpr std::size_t PaletteEntries(TargetFormat format) {
    return format == TargetFormat::Index16 ? 16 : format == TargetFormat::Index256 ? 256 : 0;
}

// Bytes one column of pixels adds to the body over a band of eight rows.
constexpr std::size_t BodyBytesPerColumnBand(TargetFormat format) {
    return format == TargetFormat::Index16 ? 4 : format == TargetFormat::Index256 ? 8 : 16;
}

// The whole file's length for a picture of the given size in pixels (multiples of 8).
constexpr std::uint64_t TileImageFileSize(TargetFormat format, std::uint64_t width,
                                          std::uint64_t height) {
    return kTileImageHeaderSize + 2 * PaletteEntries(format) +
           width * (height / kTileSide) * BodyBytesPerColumnBand(format);
}

}  // namespace bmp2tvx
