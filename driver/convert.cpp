#include "convert.h"

#include "messages.h"

namespace bmp2tvx {

ColorRequest RequestOf(const ConversionSettings& settings, const GivenPalette* palette) {
    return ColorRequest{settings.targetDepth,
                        MakeKey(settings.keyRed, settings.keyGreen, settings.keyBlue,
                                settings.keepIndices),
                        palette};
}

std::optional<Conversion> PlanConversion(SourceImage& image, const ConversionSettings& settings,
                                         const GivenPalette* palette) {
    const Picture& picture = image.picture;
    std::optional<ColorPlan> plan = PlanColors(image, RequestOf(settings, palette));
    if (!plan) {
        return std::nullopt;
    }
    if (settings.frame && plan->coding.format == TargetFormat::FullColor16) {
        Report(Message::FrameWithFullColor16, {settings.frameText});
        return std::nullopt;
    }
    std::optional<TileLayout> layout =
        settings.frame ? FrameOrder(picture.width, picture.height, *settings.frame, picture.name)
                       : RowOrder(picture.width, picture.height);
    if (!layout) {
        return std::nullopt;
    }
    return Conversion{KindOf(picture), picture.width, picture.height, std::move(*plan),
                      std::move(*layout)};
}

SourceImage& PixelsToEncode(Conversion& conversion, SourceImage& image) {
    return conversion.plan.numbered ? *conversion.plan.numbered : image;
}

}  // namespace bmp2tvx
