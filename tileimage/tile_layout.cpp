#include "tile_layout.h"

#include <array>
#include <cstring>
#include <string>

#include "bytes_table.h"
#include "messages.h"
#include "tile_image.h"

namespace bmp2tvx {

TileLayout RowOrder(std::int32_t width, std::int32_t height) {
    const auto across = static_cast<std::uint32_t>(width);
    return TileLayout{across,
                      static_cast<std::uint32_t>(height),
                      8,
                      {CellRun{0, 0, across / static_cast<std::uint32_t>(kTileSide)}},
                      {}};
}

std::optional<TileLayout> FrameOrder(std::int32_t width, std::int32_t height, FrameSize frame,
                                     const std::string& name) {
    if (width % frame.width != 0 || height % frame.height != 0) {
        Report(Message::FramesDoNotDivide, {name, width, height, frame.width, frame.height});
        return std::nullopt;
    }
    const auto across = static_cast<std::uint32_t>(width / frame.width);
    const auto frameWidth = static_cast<std::uint32_t>(frame.width);
    TileLayout layout{
        frameWidth, across * static_cast<std::uint32_t>(height), frame.height, {}, {}};
    // A picture of no rows has no frames, however wide it says it is.
    for (std::uint32_t x = 0; height > 0 && x < static_cast<std::uint32_t>(width);
         x += frameWidth) {
        for (std::uint32_t y = 0; y < static_cast<std::uint32_t>(frame.height); y += kTileSide) {
            layout.runs.push_back({x, y, frameWidth / static_cast<std::uint32_t>(kTileSide)});
        }
    }
    return layout;
}

namespace {

using Cell = std::array<std::uint8_t, 64>;

// A cell flipped by `flips`: bit 0 mirrors each row, bit 1 the order of the rows.
Cell Flipped(const Cell& cell, unsigned flips) {
    Cell out{};
    for (std::size_t y = 0; y < 8; ++y) {
        for (std::size_t x = 0; x < 8; ++x) {
            out[8 * y + x] =
                cell[8 * ((flips & 2) != 0 ? 7 - y : y) + ((flips & 1) != 0 ? 7 - x : x)];
        }
    }
    return out;
}

}  // namespace

TileLayout MapOrder(const std::uint8_t* rows, std::int32_t width, std::int32_t height, bool flips,
                    TileMap& map) {
    // Every orientation of a tile is filed under the first tile it was, with the flips from it.
    BytesTable<std::pair<std::uint16_t, std::uint8_t>> known;
    TileLayout layout{0, 8, 8, {}, {}};
    const std::size_t across = static_cast<std::size_t>(width);
    // A picture of no columns has no cells, however many rows it says it has.
    for (std::int32_t y0 = 0; width > 0 && y0 < height; y0 += 8) {
        std::vector<CellRun>& runs = layout.stripRuns.emplace_back();
        for (std::int32_t x0 = 0; x0 < width; x0 += 8) {
            Cell cell;
            for (std::size_t r = 0; r < 8; ++r) {
                std::memcpy(&cell[8 * r], rows + (static_cast<std::size_t>(y0) + r) * across + x0,
                            8);
            }
            const auto found = known.find(BytesOf(cell));
            if (found != known.end()) {
                map.tiles.push_back(found->second.first);
                map.flips.push_back(found->second.second);
                continue;
            }
            const auto tile = static_cast<std::uint16_t>(map.distinct++);
            // Filed last, the tile as it is wins over its flips where it is symmetric.
            for (int f = flips ? 3 : 0; f >= 0; --f) {
                known.insert_or_assign(
                    std::string(BytesOf(Flipped(cell, static_cast<unsigned>(f)))),
                    std::pair{tile, static_cast<std::uint8_t>(f)});
            }
            map.tiles.push_back(tile);
            map.flips.push_back(0);
            const auto x = static_cast<std::uint32_t>(x0);
            if (!runs.empty() && runs.back().x + 8 * runs.back().count == x) {
                ++runs.back().count;
            } else {
                runs.push_back({x, 0, 1});
            }
        }
    }
    layout.width = static_cast<std::uint32_t>(8 * map.distinct);
    return layout;
}

}  // namespace bmp2tvx
