// The ways to a picture's pixels, wherever its rows are: strips of rows from the top down, and
// every pixel byte in pieces. Rows still in a file are read a few strips at a time into one reused
// buffer that stays in the processor's cache.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "picture.h"

namespace bmp2tvx {

// How a walk over the pixels ended.
enum class PixelWalk {
    Finished,  // every pixel was visited
    Stopped,   // the visitor asked to stop
    Failed,    // reading the rows failed, its one line printed
};

// Rows y0 to y0 + count - 1 of a picture, counted from the top: row r of them starts at
// top + r * down and holds width pixels of BytesPerPixel bytes.
struct Strip {
    std::int32_t y0 = 0;
    std::int32_t count = 0;
    const std::uint8_t* top = nullptr;
    std::ptrdiff_t down = 0;
};

// Calls `visit` with every strip of `rows` rows (a multiple of 8 that divides the height) from the
// top down until it returns false. A picture with no pixels has no strips.
using StripVisitor = std::function<bool(const Strip& strip)>;
PixelWalk VisitStrips(SourceImage& image, std::int32_t rows, const StripVisitor& visit);

// The same, a band of eight rows at a time.
inline PixelWalk VisitBands(SourceImage& image, const StripVisitor& visit) {
    return VisitStrips(image, 8, visit);
}

// Calls `visit` with all of the picture's pixel bytes, in pieces of whole rows in no particular
// order, until it returns false.
using PieceVisitor = std::function<bool(const std::uint8_t* bytes, std::size_t size)>;
PixelWalk VisitPieces(SourceImage& image, const PieceVisitor& visit);

// The first pixel from the top left, by rows, of an indexed picture whose index is one of
// `wanted`; left empty when no pixel's is.
struct PixelAt {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::uint8_t index = 0;
};
PixelWalk FindFirstIndex(SourceImage& image, const std::array<bool, 256>& wanted,
                         std::optional<PixelAt>& found);

}  // namespace bmp2tvx
