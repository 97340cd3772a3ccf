#include "pixels.h"

#include <algorithm>
#include <cstring>

#include "bmp_rows.h"
#include "messages.h"
#include "picture_reader.h"

namespace bmp2tvx {
namespace {

// Pixels read at a time: small enough to stay in the processor's cache, large enough that the
// calls to read them cost little.
constexpr std::uint64_t kPieceBytes = 64 * 1024;

// Index pixels through a renumbering. Moving the key colour exchanges two numbers, which is
// written as selects so that the compiler can work on many pixels per instruction; any other
// renumbering looks every pixel up.
void ApplyMap(const IndexMap& map, std::uint8_t* pixels, std::size_t count) {
    std::uint8_t changed[3];
    std::size_t changes = 0;
    for (std::size_t v = 0; v < map.size() && changes < 3; ++v) {
        if (map[v] != v) {
            changed[changes++] = static_cast<std::uint8_t>(v);
        }
    }
    if (changes == 0) {
        return;
    }
    if (changes == 2 && map[changed[0]] == changed[1] && map[changed[1]] == changed[0]) {
        const std::uint8_t a = changed[0];
        const std::uint8_t b = changed[1];
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t p = pixels[i];
            pixels[i] = p == a ? b : p == b ? a : p;
        }
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        pixels[i] = map[pixels[i]];
    }
}

bool NeedsRenumbering(const SourceImage& image) {
    return image.kind == SourceKind::Index && image.pixels.renumbering != IdentityMap();
}

// Reading rows of a picture: `chunkRows` rows (a multiple of 8) at a time through `buffer`, or,
// for pixels in memory that need no renumbering, straight from where they are.
struct RowReader {
    const SourceImage* image = nullptr;
    std::uint64_t rowBytes = 0;
    std::int32_t chunkRows = 0;
    Storage buffer;
    Storage stored;                // rows as the file stores them, when they must be unpacked
    std::uint8_t* rows = nullptr;  // where in `buffer` the rows last read are
};

// Rows read from a file land at the same place within a 4 KiB page as they have in the file. The
// system copies them from its cache of the file, and a copy whose target lies a little way past
// its source within the page (as a fresh block's start may) runs at a fraction of its speed on
// common processors, which take a load for one of the stores just made. A block read into has a
// page to spare for it.
constexpr std::uint64_t kPageBytes = 4096;

std::uint8_t* AtPlaceOf(std::uint8_t* block, std::uint64_t fileOffset) {
    const std::uint64_t place = reinterpret_cast<std::uintptr_t>(block) % kPageBytes;
    return block + (fileOffset + kPageBytes - place) % kPageBytes;
}

const StoredRows* RowsToUnpack(const SourceImage& image) {
    const auto* file = std::get_if<PixelsInFile>(&image.pixels.place);
    return file != nullptr && file->stored.bitCount != 0 ? &file->stored : nullptr;
}

bool OpenRowReader(const SourceImage& image, RowReader& reader) {
    reader.image = &image;
    reader.rowBytes = static_cast<std::uint64_t>(image.width) * BytesPerPixel(image);
    // As many whole bands as fit in a piece, and at least one however wide the picture is; the
    // file was checked to hold every row, so a band is never more than the file.
    const std::uint64_t bandBytes = 8 * reader.rowBytes;
    const std::uint64_t bands =
        std::min<std::uint64_t>(std::max<std::uint64_t>(kPieceBytes / bandBytes, 1),
                                static_cast<std::uint64_t>(image.height) / 8);
    reader.chunkRows = static_cast<std::int32_t>(8 * bands);
    if (std::holds_alternative<PixelsInMemory>(image.pixels.place) && !NeedsRenumbering(image)) {
        return true;
    }
    const StoredRows* stored = RowsToUnpack(image);
    const bool readInto = std::holds_alternative<PixelsInFile>(image.pixels.place) && !stored;
    reader.buffer = AllocateStorage(bands * bandBytes + (readInto ? kPageBytes : 0));
    if (stored != nullptr) {
        reader.stored = AllocateStorage(8 * bands * stored->rowBytes + kPageBytes);
    }
    reader.rows = reader.buffer.get();
    if (!reader.buffer || (stored != nullptr && !reader.stored)) {
        Report(Message::NoMemoryToConvert, {image.pixels.name});
        return false;
    }
    return true;
}

// Stored rows first .. first + count - 1 of a picture still in its file, into the reader's
// buffer; false if reading failed (its line printed). A file that ends early has shrunk since its
// headers were checked.
bool ReadFileRows(RowReader& reader, const PixelsInFile& file, std::int32_t first,
                  std::int32_t count) {
    const SourceImage& image = *reader.image;
    const std::uint64_t rowBytes = reader.stored ? file.stored.rowBytes : reader.rowBytes;
    const std::uint64_t size = static_cast<std::uint64_t>(count) * rowBytes;
    const std::uint64_t at = file.offset + static_cast<std::uint64_t>(first) * rowBytes;
    std::uint8_t* to = AtPlaceOf(reader.stored ? reader.stored.get() : reader.buffer.get(), at);
    reader.rows = reader.stored ? reader.buffer.get() : to;
    std::uint64_t got = 0;
    if (!ReadInputFileAt(file.file, at, to, size, got)) {
        return false;
    }
    if (got != size) {
        Report(Message::Truncated, {image.pixels.name});
        return false;
    }
    for (std::int32_t r = 0; reader.stored && r < count; ++r) {
        UnpackRow(file.stored, to + r * rowBytes, image.width, image.carriesAlpha,
                  reader.buffer.get() + r * reader.rowBytes);
    }
    return true;
}

// Stored rows first .. first + count - 1, renumbered; null if reading the file failed (its line
// printed).
const std::uint8_t* ReadRows(RowReader& reader, std::int32_t first, std::int32_t count) {
    const SourceImage& image = *reader.image;
    const std::uint64_t at = static_cast<std::uint64_t>(first) * reader.rowBytes;
    const std::uint64_t size = static_cast<std::uint64_t>(count) * reader.rowBytes;
    if (const auto* memory = std::get_if<PixelsInMemory>(&image.pixels.place)) {
        if (!reader.buffer) {
            return memory->bytes.get() + at;
        }
        std::memcpy(reader.buffer.get(), memory->bytes.get() + at, static_cast<std::size_t>(size));
    } else if (const auto* file = std::get_if<PixelsInFile>(&image.pixels.place)) {
        if (!ReadFileRows(reader, *file, first, count)) {
            return nullptr;
        }
    } else if (!ReadPngRows(*std::get<PixelsInPng>(image.pixels.place).decoder, first, count,
                            reader.buffer.get())) {
        return nullptr;
    }
    if (NeedsRenumbering(image)) {
        ApplyMap(image.pixels.renumbering, reader.rows, static_cast<std::size_t>(size));
    }
    return reader.rows;
}

// Reads the picture chunk by chunk, from the top down when `fromTop`, else in stored order, and
// calls visit(firstRow, count, rows, rowBytes): `count` rows starting with row `firstRow` counted
// from the top (or from the first stored row), stored at `rows` in stored order.
template <typename Visit>
PixelWalk WalkChunks(const SourceImage& image, bool fromTop, const Visit& visit) {
    RowReader reader;
    if (image.width == 0 || image.height == 0) {
        return PixelWalk::Finished;
    }
    if (!OpenRowReader(image, reader)) {
        return PixelWalk::Failed;
    }
    const bool reversed = fromTop && !image.pixels.topDown;
    for (std::int32_t first = 0; first < image.height; first += reader.chunkRows) {
        const std::int32_t count = std::min(reader.chunkRows, image.height - first);
        const std::uint8_t* rows =
            ReadRows(reader, reversed ? image.height - first - count : first, count);
        if (rows == nullptr) {
            return PixelWalk::Failed;
        }
        if (!visit(first, count, rows, static_cast<std::ptrdiff_t>(reader.rowBytes))) {
            return PixelWalk::Stopped;
        }
    }
    return PixelWalk::Finished;
}

}  // namespace

PixelWalk VisitBands(const SourceImage& image, const BandVisitor& visit) {
    const bool topDown = image.pixels.topDown;
    return WalkChunks(
        image, true,
        [&](std::int32_t y0, std::int32_t count, const std::uint8_t* rows,
            std::ptrdiff_t rowBytes) {
            // Rows y0 .. y0 + count - 1 from the top, stored in one order or the other.
            for (std::int32_t b = 0; b < count; b += 8) {
                const std::ptrdiff_t place = topDown ? b : count - 1 - b;
                if (!visit(Band{y0 + b, rows + place * rowBytes, topDown ? rowBytes : -rowBytes})) {
                    return false;
                }
            }
            return true;
        });
}

PixelWalk VisitPieces(const SourceImage& image, const PieceVisitor& visit) {
    return WalkChunks(
        image, false,
        [&](std::int32_t, std::int32_t count, const std::uint8_t* rows, std::ptrdiff_t rowBytes) {
            return visit(rows,
                         static_cast<std::size_t>(count) * static_cast<std::size_t>(rowBytes));
        });
}

PixelWalk FindFirstIndex(const SourceImage& image, const std::array<bool, 256>& wanted,
                         std::optional<PixelAt>& found) {
    return VisitBands(image, [&](const Band& band) {
        for (std::int32_t r = 0; r < 8 && !found; ++r) {
            const std::uint8_t* row = band.top + r * band.down;
            for (std::int32_t x = 0; x < image.width && !found; ++x) {
                if (wanted[row[x]]) {
                    found = PixelAt{x, band.y0 + r, row[x]};
                }
            }
        }
        return !found;
    });
}

void Renumber(SourceImage& image, const IndexMap& map) {
    for (std::uint8_t& v : image.pixels.renumbering) {
        v = map[v];
    }
}

}  // namespace bmp2tvx
