// Mapping a picture onto a palette the artist gives (palette_file.h), so that pictures converted
// with one palette share one bank of the handheld's palette memory.
#pragma once

#include <cstddef>
#include <optional>

#include "palette_file.h"
#include "source_image.h"

namespace bmp2tvx {

// The picture as an Index picture whose colour table is the palette's first `entries` colours
// (16 or 256), padded with black. Entry 0 is the transparent entry: transparent pixels go there,
// and in a picture without transparent pixels so do the pixels of entry 0's colour. Every other
// pixel takes the lowest-numbered entry from 1 up whose colour is its colour as the handheld shows
// it (the same 15-bit word). An Index picture is renumbered entry by entry, so only the entries
// its pixels use need a match, and its pixels keep their place. A pixel with no entry refuses the
// picture: one line naming it, the first such pixel from the top left and its colour. Returns
// nothing then, or when reading the pixels failed (its line printed).
//
// With `keepIndices` (--key=none) entry 0 holds the transparent pixels only, and an Index picture
// is not matched at all: every pixel keeps its index, which must be below the palette's number of
// colours, and a transparent entry other than 0 that pixels use refuses it.
std::optional<SourceImage> MapOntoPalette(SourceImage picture, const GivenPalette& palette,
                                          std::size_t entries, bool keepIndices = false);

}  // namespace bmp2tvx
