#include "image/pixels.h"

#include <algorithm>
#include <utility>

namespace bmp2tvx {
namespace {

// Pieces read from the file at a time: small enough to stay in the processor's cache, large
// enough that the calls to read them cost little.
constexpr std::uint64_t kPieceBytes = 64 * 1024;

std::uint64_t RowBytes(const SourceImage& image) {
    return static_cast<std::uint64_t>(image.width) * BytesPerPixel(image);
}

std::uint64_t PixelBytes(const SourceImage& image) {
    return RowBytes(image) * static_cast<std::uint64_t>(image.height);
}

const char* PathOf(const SourceImage& image) {
    return image.pixelFile->path.c_str();
}

// Reads `size` bytes of pixel data from byte `at` of the pixel block, with any pending exchange
// done. A file that ends early has shrunk since its headers were checked.
bool ReadPixelBytes(const SourceImage& image, std::uint64_t at, std::uint8_t* buffer,
                    std::uint64_t size) {
    std::uint64_t got = 0;
    if (!ReadInputFileAt(*image.pixelFile, image.pixelOffset + at, buffer, size, got)) {
        return false;
    }
    if (got != size) {
        PrintError("%s is truncated.\n", PathOf(image));
        return false;
    }
    if (image.exchangedWithZero != 0 && !image.isFullColor) {
        ExchangeWithZero(buffer, size, image.exchangedWithZero);
    }
    return true;
}

}  // namespace

bool PixelsInMemory(const SourceImage& image) {
    return !image.pixelFile;
}

void ReverseRows(std::uint8_t* pixels, std::uint64_t rowBytes, std::int32_t height) {
    if (height < 2) {
        return;
    }
    std::uint8_t* low = pixels;
    std::uint8_t* high = pixels + rowBytes * static_cast<std::uint64_t>(height - 1);
    for (; low < high; low += rowBytes, high -= rowBytes) {
        std::swap_ranges(low, low + rowBytes, high);
    }
}

void ExchangeWithZero(std::uint8_t* pixels, std::uint64_t count, std::uint8_t key) {
    // Written as selects so that the compiler can work on many pixels per instruction.
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint8_t p = pixels[i];
        pixels[i] = p == key ? 0 : p == 0 ? key : p;
    }
}

bool LoadPixels(SourceImage& image) {
    if (PixelsInMemory(image)) {
        return true;
    }
    const std::uint64_t bytes = PixelBytes(image);
    Storage storage = AllocateStorage(bytes);
    if (!storage) {
        PrintError("Not enough memory to load %s.\n", PathOf(image));
        return false;
    }
    if (!ReadPixelBytes(image, 0, storage.get(), bytes)) {
        return false;
    }
    // Kept bottom-up in memory, whatever order the file stored them in.
    if (image.pixelsTopDown) {
        ReverseRows(storage.get(), RowBytes(image), image.height);
    }
    (image.isFullColor ? image.colorPixels : image.indexPixels) = storage.get();
    image.storage = std::move(storage);
    image.pixelFile.reset();
    image.exchangedWithZero = 0;
    return true;
}

bool VisitPixels(const SourceImage& image, const PixelVisitor& visit) {
    const std::uint64_t total = PixelBytes(image);
    if (PixelsInMemory(image)) {
        const std::uint8_t* pixels = image.isFullColor ? image.colorPixels : image.indexPixels;
        for (std::uint64_t at = 0; at < total; at += kPieceBytes) {
            if (!visit(pixels + at, static_cast<std::size_t>(std::min(kPieceBytes, total - at)))) {
                return false;
            }
        }
        return true;
    }
    const Storage buffer = AllocateStorage(std::min(kPieceBytes, total));
    if (!buffer && total > 0) {
        PrintError("Not enough memory to convert %s.\n", PathOf(image));
        return false;
    }
    for (std::uint64_t at = 0; at < total; at += kPieceBytes) {
        const std::uint64_t size = std::min(kPieceBytes, total - at);
        if (!ReadPixelBytes(image, at, buffer.get(), size) ||
            !visit(buffer.get(), static_cast<std::size_t>(size))) {
            return false;
        }
    }
    return true;
}

bool OpenBandReader(const SourceImage& image, BandReader& reader) {
    reader = BandReader{};
    reader.image = &image;
    reader.rowBytes = RowBytes(image);
    if (PixelsInMemory(image) || image.height == 0 || reader.rowBytes == 0) {
        return true;
    }
    // As many whole bands as fit in a piece, and at least one however wide the picture is; the
    // file was checked to hold every row, so a band is never more than the file.
    const std::uint64_t bandBytes = 8 * reader.rowBytes;
    const std::uint64_t bands =
        std::min<std::uint64_t>(std::max<std::uint64_t>(kPieceBytes / bandBytes, 1),
                                static_cast<std::uint64_t>(image.height) / 8);
    reader.bufferRows = static_cast<std::int32_t>(8 * bands);
    reader.buffer = AllocateStorage(bands * bandBytes);
    if (!reader.buffer) {
        PrintError("Not enough memory to convert %s.\n", PathOf(image));
        return false;
    }
    return true;
}

bool ReadBand(BandReader& reader, std::int32_t y0, Band& band) {
    const SourceImage& image = *reader.image;
    const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(reader.rowBytes);
    if (PixelsInMemory(image)) {
        band.top = RowFromTop(image, y0);
        band.down = -rowBytes;
        return true;
    }
    if (y0 < reader.firstRow || y0 + 8 > reader.lastRow) {
        // The rows y0 .. y0 + count - 1 from the top are stored together in the file, in one
        // order or the other.
        const std::int32_t count = std::min(reader.bufferRows, image.height - y0);
        const std::int32_t firstStored = image.pixelsTopDown ? y0 : image.height - y0 - count;
        if (!ReadPixelBytes(image, static_cast<std::uint64_t>(firstStored) * reader.rowBytes,
                            reader.buffer.get(),
                            static_cast<std::uint64_t>(count) * reader.rowBytes)) {
            return false;
        }
        reader.firstRow = y0;
        reader.lastRow = y0 + count;
    }
    // Row y from the top sits at stored place y (top-down) or height - 1 - y (bottom-up); the
    // buffer starts at the lowest stored place it holds.
    const std::int32_t offset = y0 - reader.firstRow;
    const std::int32_t count = reader.lastRow - reader.firstRow;
    if (image.pixelsTopDown) {
        band.top = reader.buffer.get() + static_cast<std::ptrdiff_t>(offset) * rowBytes;
        band.down = rowBytes;
    } else {
        band.top = reader.buffer.get() + static_cast<std::ptrdiff_t>(count - 1 - offset) * rowBytes;
        band.down = -rowBytes;
    }
    return true;
}

}  // namespace bmp2tvx
