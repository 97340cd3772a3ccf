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

// Rows in memory are kept bottom-up, as a usual BMP stores them: stored row 0 is the bottom of the
// picture, so the pixel at column x and row y counted from the top lives in stored row
// height - 1 - y. Rows follow one another with no gaps.
//
// A picture loaded from a file keeps its pixels in the file until a stage needs them all in
// memory (LoadPixels, image/pixels.h): the tile encoder reads them a band of eight rows at a time
// into a buffer that stays in the processor's cache, which saves copying the whole picture into
// fresh memory that the system must first clear, and reading it back from main memory.
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

    // Pixels still in the file (both pointers above null): they start at byte `pixelOffset`,
    // top row first when `pixelsTopDown`, else bottom row first.
    OwnedInputFile pixelFile;
    std::uint64_t pixelOffset = 0;
    bool pixelsTopDown = false;
    // Index pixels of this value and of 0 trade numbers as they are read from the file (the key
    // colour's move to entry 0, which pixels in memory undergo in place); 0 when none do.
    std::uint8_t exchangedWithZero = 0;
};

inline SourceKind KindOf(const SourceImage& image) {
    return image.isFullColor ? SourceKind::FullColor : SourceKind::Index;
}

inline std::uint64_t PixelCount(const SourceImage& image) {
    return static_cast<std::uint64_t>(image.width) * static_cast<std::uint64_t>(image.height);
}

inline std::size_t BytesPerPixel(const SourceImage& image) {
    return image.isFullColor ? 3 : 1;
}

// Start of stored row `row` (0 = bottom) in the pixel buffer of the image's kind. Pixels in memory
// only.
inline const std::uint8_t* StoredRow(const SourceImage& image, std::int32_t row) {
    const std::size_t bytesPerPixel = BytesPerPixel(image);
    const std::uint8_t* base = image.isFullColor ? image.colorPixels : image.indexPixels;
    return base +
           static_cast<std::size_t>(row) * static_cast<std::size_t>(image.width) * bytesPerPixel;
}

// Start of the row counted from the top of the picture.
inline const std::uint8_t* RowFromTop(const SourceImage& image, std::int32_t y) {
    return StoredRow(image, image.height - 1 - y);
}

}  // namespace bmp2tvx
