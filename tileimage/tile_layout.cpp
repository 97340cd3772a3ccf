#include "tile_layout.h"

#include "tile_image.h"

namespace bmp2tvx {

TileLayout RowOrder(std::int32_t width, std::int32_t height) {
    TileLayout layout{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), 8, {}};
    for (std::uint32_t x = 0; x < layout.width; x += kTileSide) {
        layout.cells.push_back({x, 0});
    }
    return layout;
}

}  // namespace bmp2tvx
