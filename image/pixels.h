// The two ways to a picture's pixels, wherever they are held: the bands of eight rows from the
// top down, and every pixel byte in pieces. Both read pixels still in the file a few bands at a
// time into one reused buffer, and renumber index pixels as they read them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "source_image.h"

namespace bmp2tvx {

// How a walk over the pixels ended.
enum class PixelWalk {
    Finished,  // every pixel was visited
    Stopped,   // the visitor asked to stop
    Failed,    // reading the file failed, its one line printed
};

// Eight rows of a picture: row r (0 to 7) from the top of the band starts at top + r * down and
// holds width pixels of BytesPerPixel bytes. `y0` is the band's top row, counted from the top.
struct Band {
    std::int32_t y0 = 0;
    const std::uint8_t* top = nullptr;
    std::ptrdiff_t down = 0;
};

// Calls `visit` with every band from the top down until it returns false. A picture with no
// pixels has no bands.
using BandVisitor = std::function<bool(const Band& band)>;
PixelWalk VisitBands(const SourceImage& image, const BandVisitor& visit);

// Calls `visit` with all of the picture's pixel bytes, in pieces of whole rows in no particular
// order, until it returns false.
using PieceVisitor = std::function<bool(const std::uint8_t* bytes, std::size_t size)>;
PixelWalk VisitPieces(const SourceImage& image, const PieceVisitor& visit);

// The first pixel from the top left, by rows, whose index is one of `wanted`; left empty when no
// pixel's is.
struct PixelAt {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::uint8_t index = 0;
};
PixelWalk FindFirstIndex(const SourceImage& image, const std::array<bool, 256>& wanted,
                         std::optional<PixelAt>& found);

// From now on every index pixel reads as map[what it read as before]: renumberings compose.
void Renumber(SourceImage& image, const IndexMap& map);

}  // namespace bmp2tvx
