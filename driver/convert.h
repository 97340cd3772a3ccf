// One conversion of a loaded picture, in the order every caller runs it, the tool, the fuzz
// target and the tests alike: the colour plan, the tile layout, then the encoding, in memory or
// into the output file (tile_encoder.h).
#pragma once

#include <cstdint>
#include <optional>

#include "color_plan.h"
#include "palette_file.h"
#include "picture.h"
#include "settings.h"
#include "tile_layout.h"

namespace bmp2tvx {

struct Conversion {
    SourceKind source = SourceKind::Index;  // what the input carried, for the summary line
    std::int32_t width = 0;
    std::int32_t height = 0;
    ColorPlan plan;
    TileLayout layout;
    // A background: its pixels as written, which its tiles are compared by and encoded from, and
    // its map.
    std::optional<SourceImage> written;
    std::optional<MapFile> map;
};

// What the settings ask of the picture's colours: the key colour is made here, once, from its
// flags as they stand after every one was read.
ColorRequest RequestOf(const ConversionSettings& settings, const GivenPalette* palette);

// Plans the conversion of `image` with the run's settings and the palette given, if any. Nothing
// when the picture is refused (its one line printed, naming it).
std::optional<Conversion> PlanConversion(SourceImage& image, const ConversionSettings& settings,
                                         const GivenPalette* palette);

// The pixels the encoder reads: a background's written ones, the plan's numbered ones, or else
// the picture's own.
SourceImage& PixelsToEncode(Conversion& conversion, SourceImage& image);

}  // namespace bmp2tvx
