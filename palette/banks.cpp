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
#include <array>
#include <bit>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "bank_packing.h"
#include "byte_order.h"
#include "bytes_table.h"
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

// One row of true-colour pixels (blue, green, red and, with `alpha`, alpha bytes) as colour words
// or marks.
void TrueColourRow(const std::uint8_t* p, std::size_t width, bool alpha,
                   const std::optional<ColorEntry>& key, std::uint16_t* to) {
    if (alpha) {
        for (std::size_t x = 0; x < width; ++x, p += 4) {
            const ColorEntry c{p[0], p[1], p[2]};
            to[x] = p[3] == 0 ? kClearPixel : key && c == *key ? kKeyPixel : ToColor15(c);
        }
        return;
    }
    // The words first, as fast as the processor makes them (little-endian, which on most
    // processors they already are in memory); then the pixels of the key's word that are exactly
    // the key colour.
    auto* bytes = reinterpret_cast<std::uint8_t*>(to);
    BgrToColor15(p, width, bytes);
    for (std::size_t x = 0; std::endian::native != std::endian::little && x < width; ++x) {
        to[x] = LoadLittle16(bytes + 2 * x);
    }
    const std::uint16_t keyWord = key ? ToColor15(*key) : kClearPixel;
    std::uint32_t near = 0;  // a count, which the compiler finds many words at a time
    for (std::size_t x = 0; x < width; ++x) {
        near += to[x] == keyWord;
    }
    for (std::size_t x = 0; near > 0 && x < width; ++x) {
        const std::uint8_t* c = p + 3 * x;
        if (to[x] == keyWord && ColorEntry{c[0], c[1], c[2]} == *key) {
            to[x] = kKeyPixel;
        }
    }
}

// The picture's pixels as colour words or marks, rows from the top. An indexed picture's
// transparency and key colour are its colour plan's: entry 0 of it is transparent.
bool PixelWords(SourceImage& image, const KeyRequest& key, std::span<std::uint16_t> words,
                Color15& zero) {
    const Picture& picture = image.picture;
    std::optional<EntryPlan> entries;
    if (KindOf(picture) == SourceKind::Index && !(entries = PlanIndexedEntries(image, key, 256))) {
        return false;
    }
    zero = entries ? ToColor15(entries->table[0]) : key.color ? ToColor15(*key.color) : 0;
    std::array<std::uint16_t, 256> lookUp{};  // an indexed picture's word for each index
    for (std::size_t i = 0; entries && i < lookUp.size(); ++i) {
        const std::uint8_t entry = entries->map[i];
        lookUp[i] = entry == 0 ? kClearPixel : ToColor15(entries->table[entry]);
    }
    const std::size_t width = static_cast<std::size_t>(picture.width);
    const bool alpha = BytesPerPixel(picture) == 4;
    return VisitBands(image, [&](const Strip& band) {
               for (std::int32_t r = 0; r < 8; ++r) {
                   const std::uint8_t* p = band.top + r * band.down;
                   std::uint16_t* to = &words[static_cast<std::size_t>(band.y0 + r) * width];
                   if (!entries) {
                       TrueColourRow(p, width, alpha, key.color, to);
                   }
                   for (std::size_t x = 0; entries && x < width; ++x) {
                       to[x] = lookUp[p[x]];
                   }
               }
               return true;
           }) == PixelWalk::Finished;
}

// The cells' colours, as numbers in the order the colours first appear.
struct CellColours {
    std::vector<Color15> colourOf;  // each number's word
    std::vector<ColorSet> sets;     // the distinct sets of cells' colours, as cells first show them
    std::vector<std::uint32_t> setOf;  // each cell's place in `sets`
    // Each cell's first cell of the same pixels (itself when it is the first): it has the same set
    // and the same entries in the same bank, and only the first one's words become numbers.
    std::vector<std::uint32_t> firstOf;
};

// The cells' colours, each cell's at most 15 (a refusal names the first cell of more). The words
// of each first cell of its pixels become their colours' numbers, which are below the marks, and
// its key colour's mark becomes `keyAs`.
bool CellSets(const Picture& picture, std::span<std::uint16_t> words, std::uint16_t keyAs,
              CellColours& out) {
    std::vector<std::int32_t> number(32768, -1), lastCell(32768, -1);
    BytesTable<std::uint32_t> firstCells, firstSets;
    const std::size_t width = static_cast<std::size_t>(picture.width);
    bool fits = true;
    ForEachCell(picture.width, picture.height, [&](std::int32_t x0, std::int32_t y0) {
        const auto cell = static_cast<std::uint32_t>(out.firstOf.size());
        std::array<std::uint16_t*, 8> rows;
        std::array<char, 2 * 64> pixels;
        for (std::size_t r = 0; r < 8; ++r) {
            rows[r] = &words[(static_cast<std::size_t>(y0) + r) * width + x0];
            std::memcpy(&pixels[16 * r], rows[r], 16);
        }
        const std::string_view key = BytesOf(pixels);
        if (const auto first = firstCells.find(key); first != firstCells.end()) {
            out.firstOf.push_back(first->second);
            out.setOf.push_back(out.setOf[first->second]);
            return;
        }
        firstCells.emplace(key, cell);
        out.firstOf.push_back(cell);
        ColorSet set;
        for (std::uint16_t* row : rows) {
            for (std::size_t x = 0; x < 8; ++x) {
                const std::uint16_t word = row[x] == kKeyPixel ? keyAs : row[x];
                if (word >= kClearPixel) {
                    row[x] = word;
                    continue;
                }
                if (number[word] < 0) {
                    number[word] = static_cast<std::int32_t>(out.colourOf.size());
                    out.colourOf.push_back(word);
                }
                if (lastCell[word] != static_cast<std::int32_t>(cell)) {
                    lastCell[word] = static_cast<std::int32_t>(cell);
                    set.push_back(static_cast<std::uint32_t>(number[word]));
                }
                row[x] = static_cast<std::uint16_t>(number[word]);
            }
        }
        std::sort(set.begin(), set.end());
        if (fits && set.size() > 15) {
            Report(Message::CellTooManyColors, {picture.name, x0, y0, set.size()});
            fits = false;
        }
        const std::string_view colours = BytesOf(set);
        const auto [at, newSet] = firstSets.try_emplace(
            std::string(colours), static_cast<std::uint32_t>(out.sets.size()));
        out.setOf.push_back(at->second);
        if (newSet) {
            out.sets.push_back(std::move(set));
        }
    });
    return fits;
}

// Whether `count` banks fit from `bankBase`; a refusal otherwise.
bool BanksFit(const Picture& picture, std::size_t count, std::int32_t bankBase) {
    if (count > static_cast<std::size_t>(16 - bankBase)) {
        Report(Message::TooManyBanks, {picture.name, count, bankBase, 16 - bankBase});
        return false;
    }
    return true;
}

// Every other picture's cells' colours packed into banks, entry 0 of each `zero`; `values` gets
// each pixel's entry in its cell's bank.
bool PackedBanks(SourceImage& image, const KeyRequest& key, std::int32_t bankBase, ColorPlan& plan,
                 std::uint8_t* values) {
    const Picture& picture = image.picture;
    // A word a pixel, in memory the system gives without clearing it first.
    const Storage storage = AllocateStorage(2 * PixelCount(picture));
    if (!storage) {
        Report(Message::NoMemoryToConvert, {picture.name});
        return false;
    }
    const std::span<std::uint16_t> words(reinterpret_cast<std::uint16_t*>(storage.get()),
                                         static_cast<std::size_t>(PixelCount(picture)));
    CellColours cells;
    Color15 zero = 0;
    if (!PixelWords(image, key, words, zero)) {
        return false;
    }
    // Entry 0 is the transparent pixels', and only in a picture without any the key colour's.
    const bool clear = (KindOf(picture) == SourceKind::Index || BytesPerPixel(picture) == 4) &&
                       std::find(words.begin(), words.end(), kClearPixel) != words.end();
    if (!CellSets(picture, words, clear ? zero : kClearPixel, cells)) {
        return false;
    }
    BankPlan packed = PackBanks(cells.sets, 15);
    if (packed.banks.empty()) {
        packed.banks.emplace_back();  // a picture of no cells: a map has one bank all the same
    }
    if (!BanksFit(picture, packed.banks.size(), bankBase)) {
        return false;
    }
    // Each colour's entry in each bank, and after them entry 0 for the marks, so that a pixel
    // takes one look-up.
    const std::size_t colours = cells.colourOf.size(), stride = colours + 1;
    std::vector<std::uint8_t> entry(packed.banks.size() * stride);
    for (std::size_t b = 0; b < packed.banks.size(); ++b) {
        ColorBank& bank = plan.banks.emplace_back();
        bank[0] = zero;
        for (std::size_t k = 0; k < packed.banks[b].size(); ++k) {
            bank[k + 1] = cells.colourOf[packed.banks[b][k]];
            entry[b * stride + packed.banks[b][k]] = static_cast<std::uint8_t>(k + 1);
        }
    }
    const std::size_t width = static_cast<std::size_t>(picture.width), across = width / 8;
    std::size_t cell = 0;
    ForEachCell(picture.width, picture.height, [&](std::int32_t x0, std::int32_t y0) {
        const std::size_t c = cell++;
        const std::uint32_t first = cells.firstOf[c];
        const std::uint32_t b = packed.bankOf[cells.setOf[c]];
        plan.cellBanks.push_back(static_cast<std::uint8_t>(b));
        const std::uint8_t* of = entry.data() + b * stride;
        const std::size_t at = static_cast<std::size_t>(y0) * width + x0;
        const std::size_t same = first / across * 8 * width + first % across * 8;
        for (std::size_t r = 0; r < 8 * width; r += width) {
            // A cell of the same pixels as an earlier one has its entries.
            if (first != c) {
                std::memcpy(values + at + r, values + same + r, 8);
                continue;
            }
            for (std::size_t x = 0; x < 8; ++x) {
                values[at + r + x] = of[std::min<std::size_t>(words[at + r + x], colours)];
            }
        }
    });
    return true;
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
        if (!KeptIndicesFit(image, 16) || !KeptGroups(image, plan.cellBanks, values, plan.banks) ||
            !BanksFit(picture, plan.banks.size(), bankBase)) {
            return std::nullopt;
        }
    } else if (!PackedBanks(image, key, bankBase, plan, values.get())) {
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
