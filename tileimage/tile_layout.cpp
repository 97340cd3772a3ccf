#include "tile_layout.h"

#include "messages.h"
#include "tile_image.h"

namespace bmp2tvx {

TileLayout RowOrder(std::int32_t width, std::int32_t height) {
    const auto across = static_cast<std::uint32_t>(width);
    return TileLayout{across,
                      static_cast<std::uint32_t>(height),
                      8,
                      {CellRun{0, 0, across / static_cast<std::uint32_t>(kTileSide)}}};
}

std::optional<TileLayout> FrameOrder(std::int32_t width, std::int32_t height, FrameSize frame,
                                     const std::string& name) {
    if (width % frame.width != 0 || height % frame.height != 0) {
        Report(Message::FramesDoNotDivide, {name, width, height, frame.width, frame.height});
        return std::nullopt;
    }
    const auto across = static_cast<std::uint32_t>(width / frame.width);
    const auto frameWidth = static_cast<std::uint32_t>(frame.width);
    TileLayout layout{frameWidth, across * static_cast<std::uint32_t>(height), frame.height, {}};
    for (std::uint32_t x = 0; x < static_cast<std::uint32_t>(width); x += frameWidth) {
        for (std::uint32_t y = 0; y < static_cast<std::uint32_t>(frame.height); y += kTileSide) {
            layout.runs.push_back({x, y, frameWidth / static_cast<std::uint32_t>(kTileSide)});
        }
    }
    return layout;
}

}  // namespace bmp2tvx
