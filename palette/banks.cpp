// The palette banks of a 4-bit background (--map with -c4). Each 8 x 8 cell draws with one of up
// to 16 banks of 16 colours, whose entry 0 is transparent: the picture's transparent pixels, its
// key colour's, or with --key=none an indexed picture's entries 0, 16, 32, ... A cell's pixels are
// then written as entries of its bank, 0 to 15.
//
// An indexed picture kept with --key=none keeps its own banks: every cell's pixels lie in one
// group of 16 entries, index / 16 its bank and index % 16 its entry. Every other picture has its
// cells' colours, as the handheld shows them (15-bit words), packed into as few banks as can be
// found (bank_packing.h), each cell's at most 15 opaque colours in one bank.
#include <algorithm>

#include "bank_packing.h"
#include "messages.h"
#include "pixels.h"
#include "plan_parts.h"

namespace bmp2tvx {
namespace {

// A pixel as the banks see it: its colour word, or one of two marks.
constexpr std::uint16_t kClearPixel = 0x8000;  // alpha 0
constexpr std::uint16_t kKeyPixel = 0x8001;    // exactly the key colour, all 24 bits

// Every pixel of a cell, the cells in rows of tiles from the top; a picture of no columns has none.
template <typename Visit>
void ForEachCell(std::int32_t width, std::int32_t height, const Visit& visit) {
    for (std::int32_t y = 0; width > 0 && y < height; y += 8) {
        for (std::int32_t x = 0; x < width; x += 8) {
            visit(x, y);
        }
    }
}

// The picture's pixels as colour words or marks, rows from the top. An indexed picture's
// transparency and key colour are its colour plan's: entry 0 of it is transparent.
bool PixelWords(SourceImage& image, const KeyRequest& key, std::vector<std::uint16_t>& words,
                Color15& zero) {
    const Picture& picture = image.picture;
    words.resize(static_cast<std::size_t>(PixelCount(picture)));
    std::optional<EntryPlan> entries;
    if (KindOf(picture) == SourceKind::Index && !(entries = PlanIndexedEntries(image, key, 256))) {
        return false;
    }
    zero = entries ? ToColor15(entries->table[0]) : key.color ? ToColor15(*key.color) : 0;
    const std::size_t width = static_cast<std::size_t>(picture.width);
    const std::size_t step = BytesPerPixel(picture);
    return VisitBands(image, [&](const Strip& band) {
               for (std::int32_t r = 0; r < 8; ++r) {
                   const std::uint8_t* p = band.top + r * band.down;
                   std::uint16_t* to = &words[static_cast<std::size_t>(band.y0 + r) * width];
                   for (std::size_t x = 0; x < width; ++x, p += step) {
                       const ColorEntry c{p[0], step > 1 ? p[1] : p[0], step > 1 ? p[2] : p[0]};
                       to[x] = entries                        ? (entries->map[*p] == 0
                                                                     ? kClearPixel
                                                                     : ToColor15(entries->table[entries->map[*p]]))
                               : step == 4 && p[3] == 0       ? kClearPixel
                               : key.color && c == *key.color ? kKeyPixel
                                                              : ToColor15(c);
                   }
               }
               return true;
           }) == PixelWalk::Finished;
}

// Each cell's opaque colours, as numbers in the order the colours first appear; a refusal naming
// the first cell of more than 15.
bool CellSets(const Picture& picture, const std::vector<std::uint16_t>& words,
              std::vector<ColorSet>& sets, std::vector<Color15>& colourOf) {
    std::vector<std::int32_t> number(32768, -1);
    bool fits = true;
    ForEachCell(picture.width, picture.height, [&](std::int32_t x0, std::int32_t y0) {
        ColorSet set;
        for (std::int32_t y = y0; y < y0 + 8; ++y) {
            for (std::int32_t x = x0; x < x0 + 8; ++x) {
                const std::uint16_t word = words[static_cast<std::size_t>(y) * picture.width + x];
                if (word >= kClearPixel) {
                    continue;
                }
                if (number[word] < 0) {
                    number[word] = static_cast<std::int32_t>(colourOf.size());
                    colourOf.push_back(word);
                }
                set.push_back(static_cast<std::uint32_t>(number[word]));
            }
        }
        std::sort(set.begin(), set.end());
        set.erase(std::unique(set.begin(), set.end()), set.end());
        if (fits && set.size() > 15) {
            Report(Message::CellTooManyColors, {picture.name, x0, y0, set.size()});
            fits = false;
        }
        sets.push_back(std::move(set));
    });
    return fits;
}

// An indexed picture's own banks: each cell's group of 16 entries.
bool KeptGroups(SourceImage& image, std::vector<std::uint8_t>& cellBanks, Storage& values,
                std::vector<ColorBank>& banks) {
    const Picture& picture = image.picture;
    const auto& indexed = std::get<IndexedPicture>(picture.colors);
    const std::vector<std::uint8_t> stored = [&] {
        std::vector<std::uint8_t> rows;
        VisitBands(image, [&](const Strip& band) {
            for (std::int32_t r = 0; r < 8; ++r) {
                rows.insert(rows.end(), band.top + r * band.down,
                            band.top + r * band.down + picture.width);
            }
            return true;
        });
        return rows;
    }();
    bool fits = stored.size() == PixelCount(picture);
    std::uint8_t highest = 0;
    ForEachCell(picture.width, picture.height, [&](std::int32_t x0, std::int32_t y0) {
        const std::size_t at = static_cast<std::size_t>(y0) * picture.width + x0;
        const std::uint8_t group = fits ? stored[at] >> 4 : 0;
        for (std::int32_t y = 0; fits && y < 8; ++y) {
            for (std::int32_t x = 0; x < 8; ++x) {
                const std::size_t i = at + static_cast<std::size_t>(y) * picture.width + x;
                values[i] = stored[i] & 15;
                if (fits && stored[i] >> 4 != group) {
                    Report(Message::CellAcrossBanks, {picture.name, x0, y0});
                    fits = false;
                }
            }
        }
        cellBanks.push_back(group);
        highest = std::max(highest, group);
    });
    for (std::size_t b = 0; fits && b <= highest; ++b) {
        ColorBank& bank = banks.emplace_back();
        for (std::size_t e = 0; e < 16; ++e) {
            bank[e] = ToColor15(indexed.table[16 * b + e]);
        }
    }
    return fits;
}

}  // namespace

std::optional<ColorPlan> PlanBanks(SourceImage& image, const KeyRequest& key,
                                   std::int32_t bankBase) {
    const Picture& picture = image.picture;
    Storage values = AllocateStorage(PixelCount(picture));
    if (!values) {
        Report(Message::NoMemoryToConvert, {picture.name});
        return std::nullopt;
    }
    ColorPlan plan;
    if (key.keepIndices && KindOf(picture) == SourceKind::Index) {
        if (!KeptIndicesFit(image, 16) || !KeptGroups(image, plan.cellBanks, values, plan.banks)) {
            return std::nullopt;
        }
    } else {
        std::vector<std::uint16_t> words;
        std::vector<ColorSet> sets;
        std::vector<Color15> colourOf;
        Color15 zero = 0;
        if (!PixelWords(image, key, words, zero)) {
            return std::nullopt;
        }
        // Entry 0 is the transparent pixels', and only in a picture without any the key colour's.
        const bool clear = std::find(words.begin(), words.end(), kClearPixel) != words.end();
        std::replace(words.begin(), words.end(), kKeyPixel, clear ? zero : kClearPixel);
        if (!CellSets(picture, words, sets, colourOf)) {
            return std::nullopt;
        }
        BankPlan packed = PackBanks(sets, 15);
        if (packed.banks.empty()) {
            packed.banks.emplace_back();  // a picture of no cells: a map has one bank all the same
        }
        for (const auto& colours : packed.banks) {
            ColorBank& bank = plan.banks.emplace_back();
            bank[0] = zero;
            std::transform(colours.begin(), colours.end(), bank.begin() + 1,
                           [&](std::uint32_t c) { return colourOf[c]; });
        }
        std::size_t cell = 0;
        ForEachCell(picture.width, picture.height, [&](std::int32_t x0, std::int32_t y0) {
            const std::uint32_t b = packed.bankOf[cell++];
            plan.cellBanks.push_back(static_cast<std::uint8_t>(b));
            const auto& colours = packed.banks[b];
            for (std::int32_t y = y0; y < y0 + 8; ++y) {
                for (std::int32_t x = x0; x < x0 + 8; ++x) {
                    const std::size_t i = static_cast<std::size_t>(y) * picture.width + x;
                    const auto at =
                        std::find_if(colours.begin(), colours.end(),
                                     [&](std::uint32_t c) { return colourOf[c] == words[i]; });
                    values[i] = words[i] >= kClearPixel
                                    ? 0
                                    : static_cast<std::uint8_t>(1 + (at - colours.begin()));
                }
            }
        });
    }
    if (plan.banks.size() > static_cast<std::size_t>(16 - bankBase)) {
        Report(Message::TooManyBanks, {picture.name, plan.banks.size(), bankBase, 16 - bankBase});
        return std::nullopt;
    }
    std::array<ColorEntry, 256> table{};
    for (std::size_t e = 0; e < 16; ++e) {
        table[e] = ShownColor(plan.banks[0][e]);
        plan.coding.palette[e] = plan.banks[0][e];
    }
    plan.numbered = NumberedPicture(picture, table, std::move(values));
    return plan;
}

}  // namespace bmp2tvx
