#include "tile_layout.h"

#include "tile_image.h"

namespace bmp2tvx {

TileLayout RowOrder(std::int32_t width, std::int32_t height) {
    const auto across = static_cast<std::uint32_t>(width);
    return TileLayout{across,
                      static_cast<std::uint32_t>(height),
                      8,
                      {CellRun{0, 0, across / static_cast<std::uint32_t>(kTileSide)}}};
}

}  // namespace bmp2tvx
