// The BMP file, as this reader takes it. Every multi-byte field is little-endian.
//
//   offset  size  field          use
//        0     2  signature      the two bytes "BM"
//        2     4  bfSize         ignored (writers get it wrong too often)
//        6     4  reserved       ignored
//       10     4  bfOffBits      where the pixel data starts, counted from the start of the file
//       14     4  biSize         length of the info header: 40, or 52, 56, 64, 108, 124 for the
//                                longer variants, whose extra fields come after the 40 read here
//       18     4  biWidth        signed; pixels per row
//       22     4  biHeight       signed; positive for bottom-up rows, negative for top-down
//       26     2  biPlanes       ignored
//       28     2  biBitCount     1, 4 or 8 (colour table + packed indices), 24 (blue, green, red
//                                bytes), 16 or 32 (words of bit fields)
//       30     4  biCompression  0 (uncompressed), or 3 (bit fields) for 16 and 32 bits
//       34    20  (sizes, resolution, colour counts): ignored
//       54    16  red, green, blue, alpha masks of 16- and 32-bit files with bit fields, inside
//                                an info header of 52 bytes or more (alpha from 56 on); after a
//                                40-byte header, the red, green and blue masks follow it. An
//                                uncompressed 16-bit file is 5-5-5 (the top bit unused), a
//                                32-bit one blue, green, red and an unused byte.
//  14 + biSize  4N colour table: N entries of blue, green, red, reserved, where
//                                N = (bfOffBits - biSize - 14) / 4; at most 256 are used
//  bfOffBits       pixel data: rows of width pixels, each padded to a multiple of 4 bytes
//
// Checks run in a fixed order and only the first problem is reported. Every size is worked out in
// 64 bits and compared with the real length of the file before anything is allocated, so no header
// can make the reader ask for more memory than the file itself fills.
#include "picture_reader.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "bmp_rows.h"
#include "byte_order.h"
#include "messages.h"
#include "pixels.h"

namespace bmp2tvx {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;  // 54
constexpr std::size_t kMasksOffset = kHeadersSize;  // red, green, blue, then alpha
constexpr std::size_t kHeadRead = kMasksOffset + 16;
constexpr std::int64_t kMaxTableEntries = 256;

std::int32_t ReadI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(LoadLittle32(p));
}

// Where everything lies in a file that has passed every check.
struct BitmapLayout {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool topDown = false;
    bool fullColor = false;
    std::uint64_t tableOffset = 0;
    std::int32_t tableEntries = 0;  // entries taken from the file, 0 to 256
    std::uint64_t pixelOffset = 0;
    StoredRows stored;
    std::uint64_t end = 0;  // one past the last byte the conversion needs
};

bool DepthIsRead(std::uint16_t bitCount) {
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
           bitCount == 32;
}

// The masks of a 16- or 32-bit file, and how many bytes of them follow the info header.
std::array<std::uint32_t, 4> MasksOf(const std::uint8_t* head, std::uint64_t infoSize,
                                     std::uint16_t bitCount, std::uint32_t compression,
                                     std::uint64_t& trailing) {
    trailing = 0;
    if (compression == 0) {
        return bitCount == 16 ? kMasks16 : kMasks32;
    }
    trailing = infoSize < 52 ? 12 : 0;
    const std::uint8_t* masks = head + kMasksOffset;
    return {LoadLittle32(masks), LoadLittle32(masks + 4), LoadLittle32(masks + 8),
            infoSize >= 56 ? LoadLittle32(masks + 12) : 0};
}

// The first problem with the headers (`head` holds the first min(70, fileSize) bytes of the file),
// checked against each other and against the file's length; nothing when there is none.
std::optional<Message> HeaderProblem(const std::uint8_t* head, std::uint64_t fileSize,
                                     BitmapLayout& layout) {
    if (!IsBmpSignature(head, fileSize)) {
        return Message::NotABitmap;
    }
    if (fileSize < kHeadersSize) {
        return Message::Truncated;
    }
    const std::uint64_t pixelOffset = LoadLittle32(head + 10);
    const std::uint64_t infoSize = LoadLittle32(head + 14);
    const std::int32_t fileWidth = ReadI32(head + 18);
    const std::int32_t fileHeight = ReadI32(head + 22);
    const std::uint16_t bitCount = LoadLittle16(head + 28);
    const std::uint32_t compression = LoadLittle32(head + 30);
    const bool fields = bitCount == 16 || bitCount == 32;

    // A shorter info header (the old 12-byte form) puts other fields where these are read.
    if (infoSize < kInfoHeaderSize) {
        return Message::NotABitmap;
    }
    if (!DepthIsRead(bitCount)) {
        return Message::UnsupportedDepth;
    }
    if (fileWidth % 8 != 0 || fileHeight % 8 != 0) {
        return Message::NotMultipleOfEight;
    }
    if (compression != 0 && !(compression == 3 && fields)) {
        return Message::NotUncompressed;
    }
    // The most negative 32-bit value is a multiple of 8 but has no 32-bit magnitude.
    if (fileWidth == INT32_MIN || fileHeight == INT32_MIN) {
        return Message::TooLarge;
    }
    std::uint64_t trailing = 0;
    if (fields) {
        layout.stored.masks = MasksOf(head, infoSize, bitCount, compression, trailing);
        if (fileSize < std::min<std::uint64_t>(kFileHeaderSize + infoSize, kHeadRead) + trailing) {
            return Message::Truncated;
        }
        if (!MasksAreUsable(layout.stored.masks, bitCount)) {
            return Message::BadMasks;
        }
    }
    // The pixels cannot start inside the headers; between the headers and the pixels lies the
    // colour table (and sometimes a gap that some writers leave).
    const std::uint64_t tableOffset = kFileHeaderSize + infoSize + trailing;
    if (pixelOffset < tableOffset) {
        return Message::NotABitmap;
    }
    layout.fullColor = bitCount >= 16;
    layout.width = fileWidth < 0 ? -fileWidth : fileWidth;
    layout.height = fileHeight < 0 ? -fileHeight : fileHeight;
    layout.topDown = fileHeight < 0;
    layout.tableOffset = tableOffset;
    layout.tableEntries = layout.fullColor
                              ? 0
                              : static_cast<std::int32_t>(std::min<std::uint64_t>(
                                    (pixelOffset - tableOffset) / 4, kMaxTableEntries));
    layout.pixelOffset = pixelOffset;
    const std::uint64_t rowBytes =
        (static_cast<std::uint64_t>(layout.width) * bitCount + 31) / 32 * 4;
    layout.stored.bitCount = bitCount;
    layout.stored.rowBytes = rowBytes;
    layout.end = pixelOffset + rowBytes * static_cast<std::uint64_t>(layout.height);
    if (fileSize < layout.end) {
        return Message::Truncated;
    }
    return std::nullopt;
}

// The picture's size and colours, its colour table from `table` (layout.tableEntries entries of
// four bytes).
Picture DescribePicture(const BitmapLayout& layout, const std::uint8_t* table, std::string name) {
    Picture picture{layout.width, layout.height, TrueColorPicture{layout.stored.masks[3] != 0},
                    std::move(name)};
    if (!layout.fullColor) {
        IndexedPicture indexed;
        indexed.supplied = layout.tableEntries;
        indexed.indexBits = static_cast<std::uint8_t>(layout.stored.bitCount);
        for (std::int32_t i = 0; i < layout.tableEntries; ++i, table += 4) {
            indexed.table[static_cast<std::size_t>(i)] = ColorEntry{table[0], table[1], table[2]};
        }
        picture.colors = indexed;
    }
    return picture;
}

// A file with an alpha mask carries transparency only if some pixel's alpha is not 0: writers
// that fill no alpha leave it 0 everywhere, and such a picture is opaque. A pixel that is neither
// transparent nor opaque is refused, naming the first one from the top left. False when the
// picture is refused or reading it failed, its line printed.
bool SettleAlpha(SourceImage& image) {
    bool anyAlpha = false;
    const std::size_t width = static_cast<std::size_t>(image.picture.width);
    const PixelWalk walk = VisitBands(image, [&](const Strip& band) {
        for (std::int32_t r = 0; r < 8; ++r) {
            const std::uint8_t* row = band.top + r * band.down;
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint8_t alpha = row[4 * x + 3];
                if (alpha != 0 && alpha != 255) {
                    Report(Message::PartlyTransparent, {image.picture.name, x, band.y0 + r});
                    return false;
                }
                anyAlpha = anyAlpha || alpha != 0;
            }
        }
        return true;
    });
    // From here on the rows are unpacked without the alpha byte if no pixel uses it.
    std::get<TrueColorPicture>(image.picture.colors).alpha = anyAlpha;
    return walk == PixelWalk::Finished;
}

}  // namespace

bool LoadBitmap(InputFile file, SourceImage& image) {
    const std::string name = file.path;
    std::uint8_t head[kHeadRead] = {};
    std::uint64_t headRead = 0;
    if (!ReadInputFileAt(file, 0, head, kHeadRead, headRead)) {
        return false;
    }
    BitmapLayout layout;
    // A file that ends inside the headers is judged by what could be read of it.
    const std::uint64_t knownSize = headRead < kHeadRead ? headRead : file.size;
    if (const std::optional<Message> problem = HeaderProblem(head, knownSize, layout)) {
        Report(*problem, {name});
        return false;
    }
    std::uint8_t table[4 * kMaxTableEntries];
    const std::uint64_t tableBytes = 4 * static_cast<std::uint64_t>(layout.tableEntries);
    std::uint64_t got = 0;
    if (!ReadInputFileAt(file, layout.tableOffset, table, tableBytes, got)) {
        return false;
    }
    if (got != tableBytes) {  // the file shrank since its length was checked
        Report(Message::Truncated, {name});
        return false;
    }
    // The pixels stay where they are, read as they are needed.
    image.picture = DescribePicture(layout, table, name);
    image.rows =
        RowSource{RowsInBmp{std::move(file), layout.pixelOffset, layout.stored}, layout.topDown};
    const auto* trueColor = std::get_if<TrueColorPicture>(&image.picture.colors);
    return trueColor == nullptr || !trueColor->alpha || SettleAlpha(image);
}

}  // namespace bmp2tvx
