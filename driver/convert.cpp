#include "convert.h"

#include <utility>

#include "color_table.h"
#include "key_color.h"
#include "palette_map.h"

namespace bmp2tvx {

TargetFormat ChooseTarget(const SourceImage& picture, std::int32_t targetDepth,
                          const GivenPalette* palette) {
    if (palette != nullptr && targetDepth == -1) {
        return palette->colors.size() <= 16 ? TargetFormat::Index16 : TargetFormat::Index256;
    }
    switch (targetDepth) {
        case 4:
            return TargetFormat::Index16;
        case 8:
            return TargetFormat::Index256;
        case 16:
            return TargetFormat::FullColor16;
        default:  // automatic
            return picture.kind == SourceKind::FullColor ? TargetFormat::FullColor16
                                                         : TargetFormat::Index256;
    }
}

std::optional<PreparedPicture> PreparePicture(SourceImage picture,
                                              const ConversionSettings& settings,
                                              const GivenPalette* palette) {
    const ConversionPlan plan{picture.kind, ChooseTarget(picture, settings.targetDepth, palette),
                              picture.width, picture.height};
    const std::size_t entries = PaletteEntries(plan.target);
    if (palette != nullptr && entries > 0) {
        std::optional<SourceImage> mapped =
            MapOntoPalette(std::move(picture), *palette, entries, settings.keepIndices);
        if (!mapped) {
            return std::nullopt;
        }
        return PreparedPicture{std::move(*mapped), plan};
    }
    // With --key=none no colour is a key: only the transparency the picture carries counts, and
    // in a bitmap layout it is black.
    const KeyColor key = settings.keepIndices
                             ? std::nullopt
                             : MakeKeyColor(settings.keyRed, settings.keyGreen, settings.keyBlue);
    if (entries == 0) {
        // A bitmap layout has no transparency: transparent pixels take the key colour (the colour
        // of entry 0 for a FullColor picture with alpha).
        for (std::size_t e = 0; e < picture.colorTable.size(); ++e) {
            if (picture.transparentEntries[e] || (e == 0 && picture.carriesAlpha)) {
                picture.colorTable[e] = key.value_or(ColorEntry{});
            }
        }
        return PreparedPicture{std::move(picture), plan};
    }
    if (plan.source == SourceKind::FullColor) {
        std::optional<SourceImage> indexed =
            IndexFullColorPicture(picture, entries, key, settings.keepIndices);
        if (!indexed) {
            return std::nullopt;
        }
        return PreparedPicture{std::move(*indexed), plan};
    }
    if (settings.keepIndices) {
        return CheckKeptIndices(picture) ? std::optional(PreparedPicture{std::move(picture), plan})
                                         : std::nullopt;
    }
    // Transparency that the file gives comes first; only a picture without transparent pixels
    // has its key colour moved to entry 0.
    bool transparent = false;
    if (!MoveTransparentToZero(picture, transparent) ||
        (!transparent && !MoveKeyColorToZero(picture, key, static_cast<std::int32_t>(entries)))) {
        return std::nullopt;
    }
    return PreparedPicture{std::move(picture), plan};
}

}  // namespace bmp2tvx
