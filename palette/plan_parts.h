// The parts of the colour plan (color_plan.h), one file each. Not for use outside palette/.
#pragma once

#include <array>
#include <cstddef>
#include <optional>

#include "color_plan.h"

namespace bmp2tvx {

// An indexed picture's palette and renumbering, as the plan decides them for a layout of
// `entries` (16 or 256) entries.
struct EntryPlan {
    std::array<ColorEntry, 256> table{};
    IndexMap map = IdentityMap();
};

// key_entries.cpp: an indexed picture without a palette given: its transparency, --key=none or
// its key colour (searched among its first `entries` entries).
std::optional<EntryPlan> PlanIndexedEntries(SourceImage& image, const KeyRequest& key,
                                            std::size_t entries);

// With --key=none every index of an indexed picture stays, entry 0 the transparent one: a
// transparent entry other than 0 that pixels use would have to move, and refuses the picture,
// naming its first pixel. False then, its line printed, or when reading the pixels failed.
// With --map, entries 16, 32, ... are the transparent entries of their banks too (`bank` 16).
bool KeptIndicesFit(SourceImage& image, std::size_t bank = 256);

// banks.cpp: the palette banks of a 4-bit background, and its pixels as entries of their cells'
// banks; refused when a cell has more than 15 colours or the banks are more than 16 - `bankBase`.
std::optional<ColorPlan> PlanBanks(SourceImage& image, const KeyRequest& key,
                                   std::int32_t bankBase);

// Whether any pixel's stored index is one of `wanted`; false with `failed` set when reading the
// pixels failed. Tables padded with copies of one colour make runs of consecutive entries, which
// it tests many pixels at a time.
bool AnyPixelOf(SourceImage& image, const std::array<bool, 256>& wanted, bool& failed);

// numbering.cpp: a true-colour picture written as tiles gets an exact palette of its own colours,
// numbered from entry 1 in the order they first appear tile by tile.
std::optional<ColorPlan> NumberColors(SourceImage& image, std::size_t entries,
                                      const KeyRequest& key);

// palette_map.cpp: a picture mapped onto a palette the artist gives.
std::optional<ColorPlan> MapOntoPalette(SourceImage& image, const GivenPalette& palette,
                                        std::size_t entries, bool keepIndices);

// The words of a palette block holding `table`.
std::array<Color15, 256> PaletteWords(const std::array<ColorEntry, 256>& table);

// A picture of `width` x `height` whose rows, the top one first, are `indices` in memory: what a
// true-colour picture becomes once numbered or mapped, with `table` its palette.
SourceImage NumberedPicture(const Picture& from, const std::array<ColorEntry, 256>& table,
                            Storage indices);

}  // namespace bmp2tvx
