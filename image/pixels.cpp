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

// Reading a picture's rows `chunkRows` (a multiple of the strip's rows) at a time: straight from
// where they are for rows in memory, else through `buffer`, and rows a BMP packs through `stored`.
struct RowReader {
    SourceImage* image = nullptr;
    std::uint64_t rowBytes = 0;
    std::int32_t chunkRows = 0;
    Storage buffer;
    Storage stored;
    const std::uint8_t* rows = nullptr;  // the rows last read
};

bool OpenRowReader(SourceImage& image, std::int32_t stripRows, RowReader& reader) {
    const Picture& picture = image.picture;
    reader.image = &image;
    reader.rowBytes = static_cast<std::uint64_t>(picture.width) * BytesPerPixel(picture);
    // As many whole strips as fit in a piece, and at least one however wide the picture is; the
    // file was checked to hold every row, so a strip is never more than the file.
    const std::uint64_t stripBytes = static_cast<std::uint64_t>(stripRows) * reader.rowBytes;
    const std::uint64_t strips =
        std::min<std::uint64_t>(std::max<std::uint64_t>(kPieceBytes / stripBytes, 1),
                                static_cast<std::uint64_t>(picture.height / stripRows));
    reader.chunkRows = static_cast<std::int32_t>(strips) * stripRows;
    const std::uint64_t chunkBytes = strips * stripBytes;
    if (std::holds_alternative<RowsInMemory>(image.rows.place)) {
        return true;
    }
    const auto* bmp = std::get_if<RowsInBmp>(&image.rows.place);
    const bool unpack = bmp != nullptr && NeedsUnpacking(bmp->stored);
    reader.buffer = AllocateStorage(chunkBytes);
    if (unpack) {
        reader.stored =
            AllocateStorage(static_cast<std::uint64_t>(reader.chunkRows) * bmp->stored.rowBytes);
    }
    if (!reader.buffer || (unpack && !reader.stored)) {
        Report(Message::NoMemoryToConvert, {picture.name});
        return false;
    }
    return true;
}

// Stored rows first .. first + count - 1 of a BMP, into the reader's buffer, unpacked; false if
// reading failed (its line printed). Bytes that end early have shrunk since the headers were
// checked.
bool ReadBmpRows(RowReader& reader, const RowsInBmp& bmp, std::int32_t first, std::int32_t count) {
    const Picture& picture = reader.image->picture;
    const bool unpack = NeedsUnpacking(bmp.stored);
    const std::uint64_t rowBytes = bmp.stored.rowBytes;
    const std::uint64_t size = static_cast<std::uint64_t>(count) * rowBytes;
    const std::uint64_t at = bmp.offset + static_cast<std::uint64_t>(first) * rowBytes;
    std::uint8_t* to = unpack ? reader.stored.get() : reader.buffer.get();
    reader.rows = reader.buffer.get();
    std::uint64_t got = 0;
    if (!ReadInputFileAt(bmp.file, at, to, size, got)) {
        return false;
    }
    if (got != size) {
        Report(Message::Truncated, {picture.name});
        return false;
    }
    const bool alpha = BytesPerPixel(picture) == 4;
    for (std::int32_t r = 0; unpack && r < count; ++r) {
        UnpackRow(bmp.stored, to + r * rowBytes, picture.width, alpha,
                  reader.buffer.get() + r * reader.rowBytes);
    }
    return true;
}

// Stored rows first .. first + count - 1, or null if reading failed (its line printed).
const std::uint8_t* ReadRows(RowReader& reader, std::int32_t first, std::int32_t count) {
    RowSource& rows = reader.image->rows;
    if (const auto* memory = std::get_if<RowsInMemory>(&rows.place)) {
        return memory->bytes.get() + static_cast<std::uint64_t>(first) * reader.rowBytes;
    }
    if (const auto* bmp = std::get_if<RowsInBmp>(&rows.place)) {
        return ReadBmpRows(reader, *bmp, first, count) ? reader.rows : nullptr;
    }
    return ReadPngRows(*std::get<RowsInPng>(rows.place).decoder, first, count, reader.buffer.get())
               ? reader.buffer.get()
               : nullptr;
}

// Reads the picture chunk by chunk, from the top down when `fromTop`, else in stored order, and
// calls visit(firstRow, count, rows, rowBytes): `count` rows starting with row `firstRow` counted
// from the top (or from the first stored row), stored at `rows` in stored order.
template <typename Visit>
PixelWalk WalkChunks(SourceImage& image, std::int32_t stripRows, bool fromTop, const Visit& visit) {
    const Picture& picture = image.picture;
    RowReader reader;
    if (picture.width == 0 || picture.height == 0) {
        return PixelWalk::Finished;
    }
    if (!OpenRowReader(image, stripRows, reader)) {
        return PixelWalk::Failed;
    }
    const bool reversed = fromTop && !image.rows.topDown;
    for (std::int32_t first = 0; first < picture.height; first += reader.chunkRows) {
        const std::int32_t count = std::min(reader.chunkRows, picture.height - first);
        const std::uint8_t* rows =
            ReadRows(reader, reversed ? picture.height - first - count : first, count);
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

PixelWalk VisitStrips(SourceImage& image, std::int32_t rows, const StripVisitor& visit) {
    const bool topDown = image.rows.topDown;
    return WalkChunks(image, rows, true,
                      [&](std::int32_t y0, std::int32_t count, const std::uint8_t* chunk,
                          std::ptrdiff_t rowBytes) {
                          // Rows y0 .. y0 + count - 1 from the top, stored in one order or the
                          // other.
                          for (std::int32_t s = 0; s < count; s += rows) {
                              const std::ptrdiff_t place = topDown ? s : count - 1 - s;
                              if (!visit(Strip{y0 + s, rows, chunk + place * rowBytes,
                                               topDown ? rowBytes : -rowBytes})) {
                                  return false;
                              }
                          }
                          return true;
                      });
}

PixelWalk VisitPieces(SourceImage& image, const PieceVisitor& visit) {
    return WalkChunks(
        image, 8, false,
        [&](std::int32_t, std::int32_t count, const std::uint8_t* rows, std::ptrdiff_t rowBytes) {
            return visit(rows,
                         static_cast<std::size_t>(count) * static_cast<std::size_t>(rowBytes));
        });
}

PixelWalk FindFirstIndex(SourceImage& image, const std::array<bool, 256>& wanted,
                         std::optional<PixelAt>& found) {
    const std::int32_t width = image.picture.width;
    return VisitBands(image, [&](const Strip& band) {
        for (std::int32_t r = 0; r < band.count && !found; ++r) {
            const std::uint8_t* row = band.top + r * band.down;
            for (std::int32_t x = 0; x < width && !found; ++x) {
                if (wanted[row[x]]) {
                    found = PixelAt{x, band.y0 + r, row[x]};
                }
            }
        }
        return !found;
    });
}

}  // namespace bmp2tvx
