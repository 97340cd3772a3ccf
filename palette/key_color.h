// The transparent key colour. The handheld draws palette entry 0 of a paletted layer as
// transparent, so the colour the artist chose to be see-through must sit at entry 0.
#pragma once

#include <cstdint>
#include <optional>

#include "source_image.h"

namespace bmp2tvx {

// The key colour: a colour, or none when a component lies outside 0 to 255, which no colour can
// match (then nothing is transparent by colour).
using KeyColor = std::optional<ColorEntry>;

KeyColor MakeKeyColor(std::int32_t red, std::int32_t green, std::int32_t blue);

// Sets `entry` to the colour-table entry that becomes entry 0. Among the entries equal to the key
// colour (only those the file supplied, and only the first `searchEntries` of them), the highest
// one that some pixel uses; when no pixel uses any of them, the highest of them. 0 means nothing
// moves: no entry matches, or entry 0 is the only match that pixels use. The pixels are read only
// when the key matches several entries. Returns false when reading them failed, its line printed.
bool ChooseKeyEntry(const SourceImage& image, KeyColor key, std::int32_t searchEntries,
                    std::uint8_t& entry);

// Moves the chosen key entry to entry 0 of an Index image's colour table and renumbers the pixels
// so that every pixel keeps its colour (as they are read). Returns false when reading the pixels
// failed, its line printed.
bool MoveKeyColorToZero(SourceImage& image, KeyColor key, std::int32_t searchEntries = 256);

// For an Index picture whose file makes some entries transparent: when pixels use any of them, the
// lowest-numbered one they use is exchanged with entry 0, every other transparent entry reads as
// 0 too, and `moved` is set; the key colour has no part in such a picture. Returns false when
// reading the pixels failed, its line printed.
bool MoveTransparentToZero(SourceImage& image, bool& moved);

// For --key=none, where an Index picture keeps every index and entry 0 is the transparent one: a
// transparent entry other than 0 that pixels use would have to move, and refuses the picture,
// naming its first pixel from the top left. Returns false then (its line printed), or when
// reading the pixels failed.
bool CheckKeptIndices(const SourceImage& image);

}  // namespace bmp2tvx
