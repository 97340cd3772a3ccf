// One conversion of a loaded picture, in the order every caller runs it: the tool, the fuzz
// target and the tests alike. It is prepared first (PreparePicture), then encoded in its plan's
// layout (tile_encoder.h), in memory or into the output file.
#pragma once

#include <cstdint>
#include <optional>

#include "palette_file.h"
#include "settings.h"
#include "source_image.h"
#include "tile_image.h"

namespace bmp2tvx {

// What a conversion writes, for the summary line.
struct ConversionPlan {
    SourceKind source = SourceKind::Index;  // what the input carried
    TargetFormat target = TargetFormat::Index256;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// A picture that carries what its plan's layout reads.
struct PreparedPicture {
    SourceImage picture;
    ConversionPlan plan;
};

// The layout `-c` asks for, or else: with a palette given, Index16 for one of at most 16 colours
// and Index256 for a larger one; without, the source kind's own, Index256 for indexed pictures and
// FullColor16 for true-colour ones.
TargetFormat ChooseTarget(const SourceImage& picture, std::int32_t targetDepth,
                          const GivenPalette* palette = nullptr);

// Prepares a loaded picture with the run's settings:
//   1. the layout is chosen (ChooseTarget);
//   2. the key colour goes to palette entry 0, which the handheld draws as transparent: a 24-bit
//      picture written as tiles gets an exact palette of its own colours with the key at entry 0,
//      an 8-bit picture written as tiles has its key entry moved there (for Index16 among entries
//      0 to 15 only, the entries a 4-bit palette block holds). An 8-bit picture written as
//      FullColor16 looks every pixel up in its table, where moving an entry changes nothing.
// With a palette given, the picture is mapped onto it instead (palette_map.h), and the key colour
// has no part. Returns nothing when the picture cannot be prepared (its one line printed, naming
// the picture's path). What is left to refuse, an Index16 picture using entries above 15, the
// encoder finds.
std::optional<PreparedPicture> PreparePicture(SourceImage picture,
                                              const ConversionSettings& settings,
                                              const GivenPalette* palette = nullptr);

}  // namespace bmp2tvx
