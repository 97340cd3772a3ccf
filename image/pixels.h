// Reading a picture's pixels, whether they are in memory or still in the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "image/source_image.h"
#include "system/system.h"

namespace bmp2tvx {

// Whether the pixels are in memory (indexPixels or colorPixels), not only in the file.
bool PixelsInMemory(const SourceImage& image);

// Brings pixels still in the file into memory, bottom row first and with any pending exchange
// done, for a stage that needs them all at once or rewrites them. Prints one line naming the file
// and returns false if that fails; nothing to do for pixels already in memory.
bool LoadPixels(SourceImage& image);

// Reverses the order of `height` rows of `rowBytes` bytes, turning a top-down picture bottom-up.
void ReverseRows(std::uint8_t* pixels, std::uint64_t rowBytes, std::int32_t height);

// Every index pixel equal to `key` becomes 0 and every 0 becomes `key`.
void ExchangeWithZero(std::uint8_t* pixels, std::uint64_t count, std::uint8_t key);

// Calls `visit` with all of the picture's pixel bytes, in pieces, in any order, until it returns
// false. Returns false if a read failed (its line printed) or `visit` stopped.
using PixelVisitor = std::function<bool(const std::uint8_t* bytes, std::size_t size)>;
bool VisitPixels(const SourceImage& image, const PixelVisitor& visit);

// The eight rows of one band of the picture, top row first: row r (0 to 7) starts at
// top + r * down, and holds width pixels of BytesPerPixel(image) bytes.
struct Band {
    const std::uint8_t* top = nullptr;
    std::ptrdiff_t down = 0;
};

// Hands out the picture's bands from the top down, reading pixels still in the file several
// bands at a time into one reused buffer.
struct BandReader {
    const SourceImage* image = nullptr;
    Storage buffer;
    std::uint64_t rowBytes = 0;
    std::int32_t bufferRows = 0;  // whole bands the buffer holds
    std::int32_t firstRow = 0;    // rows from the top now in the buffer: firstRow..lastRow - 1
    std::int32_t lastRow = 0;
};

// Prints "Not enough memory to convert %s." and returns false if the buffer cannot be had.
bool OpenBandReader(const SourceImage& image, BandReader& reader);

// The band whose top row is `y0` (a multiple of 8) rows from the top. Bands must be asked for
// from the top down. Prints one line and returns false if reading the file fails.
bool ReadBand(BandReader& reader, std::int32_t y0, Band& band);

}  // namespace bmp2tvx
