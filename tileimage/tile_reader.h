// Reading tile image files back, and drawing them as the handheld's display shows them.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "color.h"
#include "map_file.h"
#include "system.h"
#include "tile_image.h"

namespace bmp2tvx {

// A tile image file checked against its own header; the spans point into the file's bytes.
struct TileImageView {
    TargetFormat format = TargetFormat::Index256;
    std::uint32_t tilesAcross = 0;
    std::uint32_t tilesDown = 0;
    std::span<const std::uint8_t> palette;  // PaletteEntries(format) little-endian words
    std::span<const std::uint8_t> body;
};

// Checks the header and that the length is exactly what it announces. Prints one line naming
// `path` and returns false otherwise.
bool ParseTileImage(const char* path, std::span<const std::uint8_t> bytes, TileImageView& view);

// Whether `size` bytes whose first (up to 8) are `head` make a tile image file, as ParseTileImage
// would find it, without a word said.
bool IsTileImage(const std::uint8_t* head, std::uint64_t size);

// Reads and parses an open tile image file. Its header is checked against the file's length
// before the rest is read, so no file can make the reader hold more memory than a valid picture
// of its size needs. Prints one line and returns false on any problem.
bool ReadTileImageFile(const InputFile& file, Storage& bytes, TileImageView& view);

// A colour word as the display shows it, as red, green, blue and `alpha` bytes: each 5-bit
// component widened to 8 bits by repeating its top bits.
std::array<std::uint8_t, 4> ColorWordToRgba(Color15 word, std::uint8_t alpha = 255);

// The colours of a block of palette words (a tile image file's palette, a map file's banks), as
// the display shows them (ColorWordToRgba), entry 0 first.
std::vector<ColorEntry> PaletteColors(std::span<const std::uint8_t> words);

// The picture as 8-bit RGBA, top row first: each 5-bit component widened by repeating its top
// bits, and in the paletted layouts every pixel of index 0 fully transparent.
std::vector<std::uint8_t> RenderRgba(const TileImageView& view);

// Reads an open map file, its header checked against the file's length before the rest is read.
// Prints one line and returns false on any problem.
bool ReadMapFile(const InputFile& file, Storage& bytes, MapView& view);

// The bytes of a background drawn as 8-bit RGBA: 256 a cell.
std::uint64_t BackgroundRgbaBytes(const MapView& map);

// Draws a background from its tiles and its map as the handheld shows it into `rgba`
// (BackgroundRgbaBytes long), as 8-bit RGBA, top row first: each cell the tile its entry names
// (the tile number less `tileBase`), flipped as the entry says, through the entry's palette bank
// (less `bankBase`) for 4-bit tiles of a regular map; pixels of entry 0 transparent. Returns the
// number of cells drawn: all of them, or the first whose entry names a tile or bank the files do
// not hold.
std::size_t RenderBackground(const TileImageView& tiles, const MapView& map, std::uint32_t tileBase,
                             std::uint32_t bankBase, std::uint8_t* rgba);

}  // namespace bmp2tvx
