// The colour plan: everything about a picture's colours, decided once, from the picture and the
// settings, before a byte of the output is written. It chooses the layout, what palette entry 0
// holds (the entry the handheld draws transparent), the palette block, how every stored pixel
// becomes the index or colour word the file holds, and every refusal: an Index16 picture using
// entries above 15, more colours than the palette has room for, a colour a given palette lacks.
//
// Entry 0, case by case (the rest of each palette follows in the same function):
//   written as FullColor16   no palette; a transparent pixel is written as the key colour (black
//                            with --key=none or a key of no colour)           PlanBitmap
//   with a palette given     the palette's entry 0: the transparent pixels, or in a picture
//                            without any the pixels of entry 0's colour (only the transparent
//                            ones with --key=none, and an indexed picture then keeps its
//                            indices)                                           MapOntoPalette
//   an indexed picture       the lowest transparent entry its pixels use, the other transparent
//                            ones read as 0 too; else with --key=none its own entry 0; else the
//                            key colour's entry                                PlanIndexedEntries
//   a true-colour picture    the transparent pixels, or in a picture without any the key
//                            colour's (no pixel's with --key=none or a key of no colour)
//                                                                               NumberColors
#pragma once

#include <cstdint>
#include <optional>

#include "map_file.h"
#include "palette_file.h"
#include "picture.h"
#include "tile_encoder.h"

namespace bmp2tvx {

// The key colour as the settings give it.
struct KeyRequest {
    std::optional<ColorEntry> color;  // none when a component lies outside 0 to 255
    bool keepIndices = false;         // --key=none: no key at all
};
KeyRequest MakeKey(std::int32_t red, std::int32_t green, std::int32_t blue, bool keepIndices);

// What the settings ask of a picture's colours.
struct ColorRequest {
    std::int32_t targetDepth = -1;  // -1 automatic, else 4, 8 or 16
    KeyRequest key;
    const GivenPalette* palette = nullptr;  // --palette=FILE
    MapKind map = MapKind::None;            // --map: a background, 4-bit ones with palette banks
    std::int32_t bankBase = 0;              // --bank-base=N
};

struct ColorPlan {
    PixelCoding coding;
    // A true-colour picture written as tiles: its pixels as the indices they are written as (with
    // coding.map), in memory, rows from the top. The encoder reads these instead of its rows.
    std::optional<SourceImage> numbered;
    // A regular background of Index16 tiles: its palette banks, and each cell's bank among them,
    // the cells in rows of tiles from the top.
    std::vector<ColorBank> banks;
    std::vector<std::uint8_t> cellBanks;
};

// The layout -c asks for, or else: with a palette given, Index16 for one of at most 16 colours and
// Index256 for a larger one; without, Index256 for indexed pictures and FullColor16 for
// true-colour ones.
TargetFormat ChooseTarget(SourceKind kind, std::int32_t targetDepth, const GivenPalette* palette);

// The plan for `image`, whose pixels it reads only where a decision needs them. Nothing when the
// picture is refused or its pixels could not be read, the one line printed.
std::optional<ColorPlan> PlanColors(SourceImage& image, const ColorRequest& request);

}  // namespace bmp2tvx
