#include "driver/convert.h"

#include <utility>

#include "image/pixels.h"
#include "palette/color_table.h"
#include "palette/key_color.h"
#include "system/system.h"
#include "tileimage/tile_encoder.h"

namespace bmp2tvx {

TargetFormat ChooseTarget(const SourceImage& picture, std::int32_t targetDepth) {
    switch (targetDepth) {
        case 4:
            return TargetFormat::Index16;
        case 8:
            return TargetFormat::Index256;
        case 16:
            return TargetFormat::FullColor16;
        default:
            return picture.isFullColor ? TargetFormat::FullColor16 : TargetFormat::Index256;
    }
}

std::optional<TargetFormat> ConvertPicture(SourceImage picture, const ConversionSettings& settings,
                                           const std::string& path, const TileImageWriter& write) {
    const ConversionPlan plan{KindOf(picture), ChooseTarget(picture, settings.targetDepth),
                              picture.width, picture.height};
    const bool paletted = plan.target != TargetFormat::FullColor16;
    if (plan.source == SourceKind::FullColor && paletted) {
        // Numbering the colours rewrites the pixels: they must all be in memory.
        if (!LoadPixels(picture)) {
            return std::nullopt;
        }
        std::optional<SourceImage> indexed =
            IndexFullColorPicture(std::move(picture), PaletteEntries(plan.target), settings.keyRed,
                                  settings.keyGreen, settings.keyBlue, path.c_str());
        if (!indexed) {
            return std::nullopt;
        }
        picture = std::move(*indexed);
    } else if (plan.source == SourceKind::Index) {
        // Written as FullColor16, an 8-bit picture still has its whole table searched.
        const std::size_t searched = PaletteEntries(
            plan.target == TargetFormat::Index16 ? TargetFormat::Index16 : TargetFormat::Index256);
        if (!MoveKeyColorToZero(picture, settings.keyRed, settings.keyGreen, settings.keyBlue,
                                static_cast<std::int32_t>(searched))) {
            return std::nullopt;
        }
    }
    if (plan.target == TargetFormat::Index16) {
        const std::optional<bool> fits = FitsIndex16(picture);
        if (!fits) {
            return std::nullopt;
        }
        if (!*fits) {
            PrintError("%s uses colours above 15 and cannot be written as Index16.\n",
                       path.c_str());
            return std::nullopt;
        }
    }
    if (!write(picture, plan)) {
        return std::nullopt;
    }
    return plan.target;
}

}  // namespace bmp2tvx
