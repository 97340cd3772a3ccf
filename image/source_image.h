// The loaded picture that every later stage of a conversion works on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "system/system.h"

namespace bmp2tvx {

// One colour-table entry, in the byte order a BMP colour table stores it.
struct ColorEntry {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
};

// What the input carries: an 8-bit picture with a colour table, or 24-bit direct colour.
enum class SourceKind { Index, FullColor };

const char* SourceKindName(SourceKind kind);

// Rows are kept bottom-up, as a usual BMP stores them: stored row 0 is the bottom of the picture,
// so the pixel at column x and row y counted from the top lives in stored row height - 1 - y.
// Rows follow one another with no gaps.
struct SourceImage {
    std::int32_t width = 0;   // pixels per row, a multiple of 8
    std::int32_t height = 0;  // rows, a multiple of 8
    std::int32_t isFullColor = 0;

    // Index sources only. Entries beyond suppliedColors were not in the file and are black.
    std::array<ColorEntry, 256> colorTable{};
    std::int32_t suppliedColors = 0;

    // One index byte per pixel (Index), or blue, green, red bytes per pixel (FullColor); the
    // pointer of the kind the source does not have is null. Both point into `storage`.
    std::uint8_t* indexPixels = nullptr;
    std::uint8_t* colorPixels = nullptr;
    Storage storage;
};

inline SourceKind KindOf(const SourceImage& image) {
    return image.isFullColor ? SourceKind::FullColor : SourceKind::Index;
}

inline std::uint64_t PixelCount(const SourceImage& image) {
    return static_cast<std::uint64_t>(image.width) * static_cast<std::uint64_t>(image.height);
}

// Start of stored row `row` (0 = bottom) in the pixel buffer of the image's kind.
inline const std::uint8_t* StoredRow(const SourceImage& image, std::int32_t row) {
    const std::size_t bytesPerPixel = image.isFullColor ? 3 : 1;
    const std::uint8_t* base = image.isFullColor ? image.colorPixels : image.indexPixels;
    return base +
           static_cast<std::size_t>(row) * static_cast<std::size_t>(image.width) * bytesPerPixel;
}

// Start of the row counted from the top of the picture.
inline const std::uint8_t* RowFromTop(const SourceImage& image, std::int32_t y) {
    return StoredRow(image, image.height - 1 - y);
}

}  // namespace bmp2tvx
