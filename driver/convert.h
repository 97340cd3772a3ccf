// One conversion of a loaded picture, in the order every caller runs it: the tool, the fuzz
// target and the tests alike.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "settings.h"
#include "source_image.h"
#include "tile_encoder.h"
#include "tile_image.h"

namespace bmp2tvx {

// The layout a run writes.
using TargetFormat = TileImageFormat;

// What a conversion is about to write, for the summary line.
struct ConversionPlan {
    SourceKind source = SourceKind::Index;  // what the input carried
    TargetFormat target = TargetFormat::Index256;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Writes the finished picture in the planned layout (WriteTileImage, or an encoding in memory)
// and says how that ended; any failure but AboveIndex16 has printed its own line.
using TileImageWriter =
    std::function<Encoding(const SourceImage& image, const ConversionPlan& plan)>;

// The layout `-c` asks for, or the source kind's own: Index256 for 8-bit pictures, FullColor16
// for 24-bit ones.
TargetFormat ChooseTarget(const SourceImage& picture, std::int32_t targetDepth);

// Converts a loaded picture with the run's settings and hands it to `write`:
//   1. the layout is chosen (ChooseTarget);
//   2. the key colour goes to palette entry 0, which the handheld draws as transparent: a 24-bit
//      picture written as tiles gets an exact palette of its own colours with the key at entry 0,
//      an 8-bit picture written as tiles has its key entry moved there (for Index16 among entries
//      0 to 15 only, the entries a 4-bit palette block holds). An 8-bit picture written as
//      FullColor16 looks every pixel up in its table, where moving an entry changes nothing;
//   3. an Index16 picture must use entries 0 to 15 only, which the encoder checks as it goes.
// Returns the layout written, or nothing when the picture cannot be written in that layout (its
// one line printed, naming the picture's path) or `write` failed.
std::optional<TargetFormat> ConvertPicture(SourceImage picture, const ConversionSettings& settings,
                                           const TileImageWriter& write);

}  // namespace bmp2tvx
