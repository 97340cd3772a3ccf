#include "convert.h"

#include <utility>
#include <variant>

#include "messages.h"

namespace bmp2tvx {

namespace {

// A background: its distinct tiles in the order they first appear, and the map that places them,
// each entry its tile's number from --tile-base, its flips and (4-bit tiles) its palette bank from
// --bank-base.
std::optional<Conversion> PlanBackground(SourceImage& image, const ConversionSettings& settings,
                                         ColorPlan plan) {
    const Picture& picture = image.picture;
    const TargetFormat format = plan.coding.format;
    if (format == TargetFormat::FullColor16 ||
        (settings.map == MapKind::Affine && format != TargetFormat::Index256)) {
        Report(format == TargetFormat::FullColor16 ? Message::MapWithFullColor16
                                                   : Message::AffineNeedsIndex256);
        return std::nullopt;
    }
    Conversion c{KindOf(picture), picture.width, picture.height, std::move(plan), {}, {}, {}};
    // Pixels already numbered in memory as they are written are taken as they are.
    std::optional<SourceImage>& numbered = c.plan.numbered;
    if (c.plan.coding.map == IdentityMap() && numbered &&
        std::holds_alternative<RowsInMemory>(numbered->rows.place)) {
        c.written = std::exchange(numbered, std::nullopt);
    } else {
        c.written = WrittenIndices(c.plan.coding, PixelsToEncode(c, image));
    }
    if (!c.written) {
        return std::nullopt;
    }
    c.plan.coding.map = IdentityMap();
    TileMap tiles;
    const bool regular = settings.map == MapKind::Regular;
    c.layout = MapOrder(std::get<RowsInMemory>(c.written->rows.place).bytes.get(), picture.width,
                        picture.height, regular, tiles);
    const std::int32_t tileBase = settings.tileBase.value_or(0);
    const std::uint32_t limit = MapTileLimit(settings.map);
    if (tiles.distinct + static_cast<std::size_t>(tileBase) > limit) {
        Report(Message::TooManyTiles, {picture.name, tiles.distinct, tileBase,
                                       regular ? "regular" : "affine", limit - tileBase});
        return std::nullopt;
    }
    MapFile& map = c.map.emplace(MapFile{settings.map,
                                         static_cast<std::uint16_t>(picture.width / 8),
                                         static_cast<std::uint16_t>(picture.height / 8),
                                         c.plan.banks,
                                         {}});
    const std::int32_t bankBase = settings.bankBase.value_or(0);
    for (std::size_t i = 0; i < tiles.tiles.size(); ++i) {
        const std::uint32_t bank = c.plan.banks.empty() ? 0 : bankBase + c.plan.cellBanks[i];
        map.entries.push_back(static_cast<std::uint16_t>(
            (tiles.tiles[i] + tileBase) | (regular ? tiles.flips[i] << 10 | bank << 12 : 0)));
    }
    return c;
}

}  // namespace

ColorRequest RequestOf(const ConversionSettings& settings, const GivenPalette* palette) {
    return ColorRequest{
        settings.targetDepth,
        MakeKey(settings.keyRed, settings.keyGreen, settings.keyBlue, settings.keepIndices),
        palette, settings.map, settings.bankBase.value_or(0)};
}

std::optional<Conversion> PlanConversion(SourceImage& image, const ConversionSettings& settings,
                                         const GivenPalette* palette) {
    const Picture& picture = image.picture;
    std::optional<ColorPlan> plan = PlanColors(image, RequestOf(settings, palette));
    if (!plan) {
        return std::nullopt;
    }
    if (settings.map != MapKind::None) {
        return PlanBackground(image, settings, std::move(*plan));
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
    return Conversion{KindOf(picture),
                      picture.width,
                      picture.height,
                      std::move(*plan),
                      std::move(*layout),
                      {},
                      {}};
}

SourceImage& PixelsToEncode(Conversion& conversion, SourceImage& image) {
    return conversion.written         ? *conversion.written
           : conversion.plan.numbered ? *conversion.plan.numbered
                                      : image;
}

}  // namespace bmp2tvx
