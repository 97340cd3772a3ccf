#include "color_plan.h"

#include <algorithm>

#include "messages.h"
#include "plan_parts.h"

namespace bmp2tvx {
namespace {

// FullColor16 has no palette and no transparency: a transparent pixel is written as the key
// colour, or black where the key is no colour. An indexed picture's pixels take their entries'
// words, the transparent entries' being that colour's.
ColorPlan PlanBitmap(const Picture& picture, const KeyRequest& key) {
    const ColorEntry clear = key.keepIndices ? ColorEntry{} : key.color.value_or(ColorEntry{});
    ColorPlan plan;
    plan.coding.format = TargetFormat::FullColor16;
    plan.coding.clear = ToColor15(clear);
    if (const auto* indexed = std::get_if<IndexedPicture>(&picture.colors)) {
        std::array<ColorEntry, 256> table = indexed->table;
        for (std::size_t e = 0; e < table.size(); ++e) {
            table[e] = indexed->transparent[e] ? clear : table[e];
        }
        plan.coding.palette = PaletteWords(table);
    }
    return plan;
}

// Whether an indexed picture's pixels, as the plan writes them, fit 4 bits: the stored indices
// written above 15 must be ones no pixel uses. Pictures whose indices are stored in 4 bits or
// fewer are not read for it when the plan keeps those below 16.
bool FitsIndex16(SourceImage& image, const IndexMap& map, bool& failed) {
    const auto& indexed = std::get<IndexedPicture>(image.picture.colors);
    std::array<bool, 256> above{};
    for (std::size_t v = 0; v < map.size(); ++v) {
        above[v] = map[v] > 15;
    }
    const std::size_t storable = std::size_t{1} << indexed.indexBits;
    if (std::none_of(above.begin(), above.begin() + storable, [](bool b) { return b; })) {
        return true;
    }
    return !AnyPixelOf(image, above, failed);
}

std::optional<ColorPlan> PlanTiles(SourceImage& image, const ColorRequest& request,
                                   TargetFormat target) {
    const std::size_t entries = PaletteEntries(target);
    const bool banked = request.map == MapKind::Regular && target == TargetFormat::Index16;
    std::optional<ColorPlan> plan;
    if (banked && request.palette == nullptr) {
        plan = PlanBanks(image, request.key, request.bankBase);
    } else if (request.palette != nullptr) {
        plan = MapOntoPalette(image, *request.palette, entries, request.key.keepIndices);
    } else if (KindOf(image.picture) == SourceKind::FullColor) {
        plan = NumberColors(image, entries, request.key);
    } else if (std::optional<EntryPlan> indexed = PlanIndexedEntries(image, request.key, entries)) {
        plan.emplace();
        plan->coding.palette = PaletteWords(indexed->table);
        plan->coding.map = indexed->map;
    }
    if (!plan) {
        return std::nullopt;
    }
    plan->coding.format = target;
    if (banked && plan->banks.empty()) {
        // A palette given: it is the one bank of every cell.
        std::copy_n(plan->coding.palette.begin(), 16, plan->banks.emplace_back().begin());
        plan->cellBanks.assign(PixelCount(image.picture) / 64, 0);
    }
    bool failed = false;
    if (target == TargetFormat::Index16 && !plan->numbered &&
        (!FitsIndex16(image, plan->coding.map, failed) || failed)) {
        if (!failed) {
            Report(Message::AboveIndex16, {image.picture.name});
        }
        return std::nullopt;
    }
    return plan;
}

}  // namespace

KeyRequest MakeKey(std::int32_t red, std::int32_t green, std::int32_t blue, bool keepIndices) {
    const auto inRange = [](std::int32_t c) { return c >= 0 && c <= 255; };
    KeyRequest key;
    key.keepIndices = keepIndices;
    if (!keepIndices && inRange(red) && inRange(green) && inRange(blue)) {
        key.color = ColorEntry{static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(green),
                               static_cast<std::uint8_t>(red)};
    }
    return key;
}

TargetFormat ChooseTarget(SourceKind kind, std::int32_t targetDepth, const GivenPalette* palette) {
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
            return kind == SourceKind::FullColor ? TargetFormat::FullColor16
                                                 : TargetFormat::Index256;
    }
}

std::optional<ColorPlan> PlanColors(SourceImage& image, const ColorRequest& request) {
    const TargetFormat target =
        ChooseTarget(KindOf(image.picture), request.targetDepth, request.palette);
    return target == TargetFormat::FullColor16 ? PlanBitmap(image.picture, request.key)
                                               : PlanTiles(image, request, target);
}

std::array<Color15, 256> PaletteWords(const std::array<ColorEntry, 256>& table) {
    std::array<Color15, 256> words{};
    std::transform(table.begin(), table.end(), words.begin(),
                   [](const ColorEntry& c) { return ToColor15(c); });
    return words;
}

SourceImage NumberedPicture(const Picture& from, const std::array<ColorEntry, 256>& table,
                            Storage indices) {
    IndexedPicture indexed;
    indexed.table = table;
    indexed.supplied = 256;
    return SourceImage{Picture{from.width, from.height, indexed, from.name},
                       RowSource{RowsInMemory{std::move(indices)}, true}};
}

}  // namespace bmp2tvx
