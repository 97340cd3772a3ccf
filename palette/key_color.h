// The transparent key colour. The handheld draws palette entry 0 of a paletted layer as
// transparent, so the colour the artist chose to be see-through must sit at entry 0.
#pragma once

#include <cstdint>

#include "image/source_image.h"

namespace bmp2tvx {

// Moves the key colour to entry 0 of an Index image's colour table and renumbers the pixels so
// that every pixel keeps its colour. Only entries the file supplied, and only the first
// `searchEntries` of them, are searched; the highest-numbered match wins. A component outside
// 0..255 matches nothing, and then nothing changes.
void MoveKeyColorToZero(SourceImage& image, std::int32_t keyRed, std::int32_t keyGreen,
                        std::int32_t keyBlue, std::int32_t searchEntries = 256);

}  // namespace bmp2tvx
