// The map file: where each tile of a background goes on the handheld's screen, written beside the
// tile image file of the background's distinct tiles (its name the tile image file's with its last
// three bytes "tvm").
//
// Every multi-byte field is little-endian; nothing is padded or aligned.
//   offset 0       2   kind: 0 regular (16-bit entries), 1 affine (8-bit entries)
//   offset 2       2   width in tiles (the picture's)
//   offset 4       2   height in tiles
//   offset 6       2   k, the number of 16-colour banks that follow: 1 to 16 for regular maps
//                      of Index16 tiles, else 0
//   offset 8       32k the banks, 16 colour words each, the first for bank --bank-base
//   offset 8 + 32k     the entries, row by row from the top left: 2 x width x height bytes
//                      (regular) or width x height (affine)
// A regular entry: bits 0-9 the tile number (its place in the tile image file plus --tile-base),
// bit 10 horizontal flip, bit 11 vertical flip, bits 12-15 the palette bank (--bank-base plus its
// place among the k banks; 0 for Index256 tiles). An affine entry: the tile number plus
// --tile-base. Entries are row-major whatever the width: a program places them in the screen
// blocks of its background.
//
// This is the reference: README.md ("Backgrounds"), the top comment of include/tvx.h and the
// manual page bmp2tvx(1) give the same table; a test checks tvx.h's rows against these.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "color.h"

namespace bmp2tvx {

// What a conversion writes beside its tiles: no map, or a background's map of either kind.
enum class MapKind { None, Regular, Affine };

// The largest tile number an entry holds, plus one: 10 bits for regular maps, 8 for affine ones.
constexpr std::uint32_t MapTileLimit(MapKind kind) {
    return kind == MapKind::Affine ? 256 : 1024;
}

constexpr std::size_t kMapHeaderSize = 8;
constexpr std::uint16_t kFlipHorizontal = 1 << 10;
constexpr std::uint16_t kFlipVertical = 1 << 11;

using ColorBank = std::array<Color15, 16>;

struct MapFile {
    MapKind kind = MapKind::Regular;
    std::uint16_t tilesAcross = 0;
    std::uint16_t tilesDown = 0;
    std::vector<ColorBank> banks;
    std::vector<std::uint16_t> entries;  // row by row; affine entries fit 8 bits
};

// The file's bytes.
std::vector<std::uint8_t> MapFileBytes(const MapFile& map);

// The length of the map file whose first 8 bytes are `head`, as its header announces it; none for
// an unknown kind or more than 16 banks.
std::optional<std::uint64_t> MapFileSize(const std::uint8_t* head);

// A map file checked against its own header: `banks` and `entries` point into its bytes. False
// when the bytes are not one (shorter or longer than the header says, of an unknown kind, or of
// more than 16 banks).
struct MapView {
    MapKind kind = MapKind::Regular;
    std::uint32_t tilesAcross = 0;
    std::uint32_t tilesDown = 0;
    std::span<const std::uint8_t> banks;    // 32 bytes a bank
    std::span<const std::uint8_t> entries;  // 2 or 1 bytes an entry
};
bool ReadMapView(std::span<const std::uint8_t> bytes, MapView& view);

// Entry `i` of a map, as a regular entry's 16 bits (an affine one's tile number alone).
std::uint16_t MapEntry(const MapView& view, std::size_t i);

// A background's map file: the tile image file's path with its last three bytes "tvm"; nothing
// for a path shorter than three bytes.
std::optional<std::string> MapPathOf(const std::string& outputPath);

}  // namespace bmp2tvx
