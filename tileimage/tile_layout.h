// The tile layout: which 8 x 8 cell of the picture becomes which tile of the file, in which
// order, and the size the header gives. The encoder reads the picture a strip of rows at a time
// and writes the tiles of each strip's cells in the layout's order; it computes no order itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bmp2tvx {

// Cells side by side: `count` of them, from the one whose top-left pixel is at (x, y) within a
// strip.
struct CellRun {
    std::uint32_t x = 0, y = 0;
    std::uint32_t count = 0;
};

struct TileLayout {
    // The picture as the header describes it, in pixels (multiples of 8).
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // Rows of the picture whose tiles are written together: a multiple of 8 that divides its
    // height.
    std::int32_t stripRows = 8;
    // The cells of every strip, in the order their tiles are written; or, where the strips differ,
    // each strip's own.
    std::vector<CellRun> runs;
    std::vector<std::vector<CellRun>> stripRuns;
};

// Rows of tiles from the top of the picture, each left to right: the header describes the
// picture as it is.
TileLayout RowOrder(std::int32_t width, std::int32_t height);

// The size of one frame of a sprite sheet, in pixels, as --frame=WxH gives it.
struct FrameSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// A sprite sheet's frames in reading order (left to right, then down), each frame's tiles in rows
// from its top, each left to right: the order in which the handheld's objects take a frame's
// tiles in one-dimensional mapping. The header describes the frames stacked in a column, one
// frame wide. Refused, with one line naming `name`, when the frames do not divide the picture.
std::optional<TileLayout> FrameOrder(std::int32_t width, std::int32_t height, FrameSize frame,
                                     const std::string& name);

// A background's cells as the entries of its map name them: each cell's tile among the distinct
// ones, and the flips that make that tile the cell (bit 0 horizontal, bit 1 vertical). Cells in
// rows of tiles from the top.
struct TileMap {
    std::vector<std::uint16_t> tiles;
    std::vector<std::uint8_t> flips;
    std::size_t distinct = 0;
};

// The distinct tiles of a background whose pixels are `rows` (`width` x `height`, top row first,
// the bytes the tiles hold), in the order they first appear in rows of tiles from the top, none
// added: two cells are one tile when their pixels are equal, or with `flips` equal after a
// horizontal flip, a vertical flip or both. The header describes the tiles in one row.
TileLayout MapOrder(const std::uint8_t* rows, std::int32_t width, std::int32_t height, bool flips,
                    TileMap& map);

}  // namespace bmp2tvx
