#include "convert.h"

#include <utility>

#include "color_table.h"
#include "key_color.h"
#include "messages.h"
#include "system.h"

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
                                           const TileImageWriter& write) {
    const ConversionPlan plan{KindOf(picture), ChooseTarget(picture, settings.targetDepth),
                              picture.width, picture.height};
    const std::size_t entries = PaletteEntries(plan.target);
    if (plan.source == SourceKind::FullColor && entries > 0) {
        if (!IndexFullColorPicture(picture, entries, settings.keyRed, settings.keyGreen,
                                   settings.keyBlue)) {
            return std::nullopt;
        }
    } else if (plan.source == SourceKind::Index && entries > 0) {
        if (!MoveKeyColorToZero(picture, settings.keyRed, settings.keyGreen, settings.keyBlue,
                                static_cast<std::int32_t>(entries))) {
            return std::nullopt;
        }
    }
    switch (write(picture, plan)) {
        case Encoding::Complete:
            return plan.target;
        case Encoding::AboveIndex16:
            Report(Message::AboveIndex16, {picture.pixels.name});
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

}  // namespace bmp2tvx
