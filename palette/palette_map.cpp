// Mapping a picture onto a palette the artist gives (palette_file.h), so that pictures converted
// with one palette share one bank of the handheld's palette memory. The palette block is the
// palette's first colours, padded with black. Entry 0 is the transparent entry: transparent
// pixels go there, and in a picture without transparent pixels so do the pixels of entry 0's
// colour. Every other pixel takes the lowest-numbered entry from 1 up whose colour is its colour
// as the handheld shows it (the same 15-bit word). An indexed picture is mapped entry by entry,
// so only the entries its pixels use need a match. A pixel with no entry refuses the picture,
// naming the first such pixel from the top left and its colour.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "messages.h"
#include "pixels.h"
#include "plan_parts.h"

namespace bmp2tvx {
namespace {

// For each of the 32768 colour words, the lowest-numbered entry from 1 up whose colour has that
// word, or 0 for none; and entry 0's word.
struct Lookup {
    std::array<std::uint8_t, 32768> entryOf{};
    Color15 zero = 0;
    std::uint8_t zeroElsewhere = 0;  // the entry from 1 up with entry 0's word, or 0
};

Lookup MakeLookup(const GivenPalette& palette, std::size_t entries) {
    Lookup lookup;
    for (std::size_t e = std::min(entries, palette.colors.size()); e-- > 1;) {
        lookup.entryOf[ToColor15(palette.colors[e])] = static_cast<std::uint8_t>(e);
    }
    lookup.zero = ToColor15(palette.colors[0]);
    lookup.zeroElsewhere = lookup.entryOf[lookup.zero];
    return lookup;
}

// The first pixel from the top left with no entry, and its colour.
struct Miss {
    bool found = false;
    std::int32_t x = 0;
    std::int32_t y = 0;
    ColorEntry color;
};

void Note(Miss& miss, std::int32_t x, std::int32_t y, ColorEntry color) {
    if (!miss.found || y < miss.y || (y == miss.y && x < miss.x)) {
        miss = Miss{true, x, y, color};
    }
}

std::optional<ColorPlan> Refuse(const Picture& picture, const GivenPalette& palette,
                                const Miss& miss) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (const std::uint8_t c : {miss.color.red, miss.color.green, miss.color.blue}) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    Report(Message::NotInPalette, {picture.name, miss.x, miss.y, hex, palette.path});
    return std::nullopt;
}

// The palette's first `entries` colours, the rest black.
std::array<ColorEntry, 256> PaletteTable(const GivenPalette& palette, std::size_t entries) {
    std::array<ColorEntry, 256> table{};
    std::copy_n(palette.colors.begin(), std::min(entries, palette.colors.size()), table.begin());
    return table;
}

// An Index picture, entry by entry: only the entries its pixels use need a match. With
// `keepIndices` nothing is matched: every pixel keeps its index, which must be one of the
// palette's, and only entry 0 may be transparent.
std::optional<ColorPlan> MapEntries(SourceImage& image, const GivenPalette& palette,
                                    const Lookup& lookup, std::size_t entries, bool keepIndices) {
    const Picture& picture = image.picture;
    const auto& indexed = std::get<IndexedPicture>(picture.colors);
    if (keepIndices && !KeptIndicesFit(image)) {
        return std::nullopt;
    }
    std::array<bool, 256> used{};
    if (VisitPieces(image, [&](const std::uint8_t* pixels, std::size_t size) {
            std::for_each(pixels, pixels + size, [&](std::uint8_t p) { used[p] = true; });
            return true;
        }) == PixelWalk::Failed) {
        return std::nullopt;
    }
    bool clear = false;
    for (std::size_t e = 0; e < used.size(); ++e) {
        clear = clear || (used[e] && indexed.transparent[e]);
    }
    IndexMap map = IdentityMap();
    std::array<bool, 256> missing{};
    for (std::size_t e = 0; e < used.size(); ++e) {
        const Color15 word = ToColor15(indexed.table[e]);
        const bool zero = indexed.transparent[e] || (!clear && word == lookup.zero);
        map[e] = keepIndices ? static_cast<std::uint8_t>(e) : zero ? 0 : lookup.entryOf[word];
        missing[e] = used[e] && (keepIndices ? e >= palette.colors.size() : !zero && map[e] == 0);
    }
    // The first pixel from the top left whose entry has no match refuses the picture.
    std::optional<PixelAt> at;
    if (std::find(missing.begin(), missing.end(), true) != missing.end()) {
        if (FindFirstIndex(image, missing, at) != PixelWalk::Failed && keepIndices) {
            Report(Message::PastPaletteEnd, {picture.name, at->x, at->y, at->index, palette.path});
        } else if (at) {
            Refuse(picture, palette, Miss{true, at->x, at->y, indexed.table[at->index]});
        }
        return std::nullopt;
    }
    ColorPlan plan;
    plan.coding.palette = PaletteWords(PaletteTable(palette, entries));
    plan.coding.map = map;
    return plan;
}

// Looks up the entry of each of a row's `width` pixels (kBytes a pixel: blue, green, red, and
// alpha when 4), 0 for a transparent one, which sets `clear`; false when some opaque pixel has no
// entry from 1 up. Rows of three bytes a pixel are first turned into colour words all at once in
// `words` (2 x width bytes), which the processor does many pixels at a time. Everything it reads
// is handed to it, so that the entries it stores cannot be taken to change it.
template <std::size_t kBytes>
bool MapRow(const std::uint8_t* row, std::size_t width, const std::uint8_t* entryOf,
            std::uint8_t* words, std::uint8_t* out, bool& clear) {
    if constexpr (kBytes == 3) {
        BgrToColor15(row, width, words);
        for (std::size_t x = 0; x < width; ++x, words += 2) {
            out[x] = entryOf[static_cast<std::uint16_t>(words[0] | words[1] << 8)];
        }
        return std::memchr(out, 0, width) == nullptr;
    }
    bool complete = true;
    bool transparentSeen = false;
    for (std::size_t x = 0; x < width; ++x, row += kBytes) {
        const bool transparent = row[kBytes - 1] == 0;
        const std::uint8_t entry = transparent ? 0 : entryOf[ToColor15(row[0], row[1], row[2])];
        out[x] = entry;
        transparentSeen |= transparent;
        complete &= entry != 0 || transparent;
    }
    clear |= transparentSeen;
    return complete;
}

// A true-colour picture, pixel by pixel, into one byte a pixel. Which of entry 0 and the entry
// from 1 up with entry 0's word takes the pixels of that colour is known only at the end, when it
// is known whether any pixel is transparent: they take the one from 1 up, renumbered to 0 if none
// is; without such an entry they take 0, and are missing if some pixel is transparent. With
// `keepIndices` entry 0 is for transparent pixels only, as if some pixel were.
template <std::size_t kBytes>
std::optional<ColorPlan> MapColors(SourceImage& image, const GivenPalette& palette,
                                   const Lookup& lookup, std::size_t entries, bool keepIndices) {
    const Picture& picture = image.picture;
    const std::size_t width = static_cast<std::size_t>(picture.width);
    Storage indices = AllocateStorage(PixelCount(picture));
    Storage words = AllocateStorage(2 * std::uint64_t{width});
    if (!indices || !words) {
        Report(Message::NoMemoryToConvert, {picture.name});
        return std::nullopt;
    }
    bool clear = false;
    Miss miss, zeroOnly;
    const PixelWalk walk = VisitBands(image, [&](const Strip& band) {
        for (std::int32_t r = 0; r < 8; ++r) {
            const std::uint8_t* row = band.top + r * band.down;
            std::uint8_t* out = indices.get() + static_cast<std::size_t>(band.y0 + r) * width;
            // Only a row with a pixel of no entry is looked at again.
            const bool complete =
                MapRow<kBytes>(row, width, lookup.entryOf.data(), words.get(), out, clear);
            for (std::size_t x = 0; !complete && x < width; ++x) {
                const std::uint8_t* p = row + kBytes * x;
                if (out[x] == 0 && !(kBytes == 4 && p[kBytes - 1] == 0)) {
                    // Entry 0's colour, with no other entry, or a colour of no entry.
                    Note(ToColor15(p[0], p[1], p[2]) == lookup.zero ? zeroOnly : miss,
                         static_cast<std::int32_t>(x), band.y0 + r, ColorEntry{p[0], p[1], p[2]});
                }
            }
        }
        return true;
    });
    if (walk == PixelWalk::Failed) {
        return std::nullopt;
    }
    clear = clear || keepIndices;
    if (clear && zeroOnly.found) {
        Note(miss, zeroOnly.x, zeroOnly.y, zeroOnly.color);
    }
    if (miss.found) {
        return Refuse(picture, palette, miss);
    }
    IndexMap map = IdentityMap();
    if (!clear) {
        map[lookup.zeroElsewhere] = 0;
    }
    const std::array<ColorEntry, 256> table = PaletteTable(palette, entries);
    ColorPlan plan;
    plan.coding.palette = PaletteWords(table);
    plan.coding.map = map;
    plan.numbered = NumberedPicture(picture, table, std::move(indices));
    return plan;
}

}  // namespace

std::optional<ColorPlan> MapOntoPalette(SourceImage& image, const GivenPalette& palette,
                                        std::size_t entries, bool keepIndices) {
    const Lookup lookup = MakeLookup(palette, entries);
    if (KindOf(image.picture) == SourceKind::Index) {
        return MapEntries(image, palette, lookup, entries, keepIndices);
    }
    return BytesPerPixel(image.picture) == 4
               ? MapColors<4>(image, palette, lookup, entries, keepIndices)
               : MapColors<3>(image, palette, lookup, entries, keepIndices);
}

}  // namespace bmp2tvx
