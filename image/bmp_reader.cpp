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
    StoredRows stored;      // bitCount 0 for 8- and 24-bit rows, which need no unpacking
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
    layout.stored.bitCount = bitCount == 8 || bitCount == 24 ? 0 : bitCount;
    layout.stored.rowBytes = rowBytes;
    layout.end = pixelOffset + rowBytes * static_cast<std::uint64_t>(layout.height);
    if (fileSize < layout.end) {
        return Message::Truncated;
    }
    return std::nullopt;
}

bool CheckHeaders(const char* path, const std::uint8_t* head, std::uint64_t fileSize,
                  BitmapLayout& layout) {
    if (const std::optional<Message> problem = HeaderProblem(head, fileSize, layout)) {
        Report(*problem, {path});
        return false;
    }
    return true;
}

// The picture's size and kind, and its colour table from `table` (layout.tableEntries entries of
// four bytes).
void StartImage(const BitmapLayout& layout, const std::uint8_t* table, SourceImage& image) {
    image = SourceImage{};
    image.width = layout.width;
    image.height = layout.height;
    image.kind = layout.fullColor ? SourceKind::FullColor : SourceKind::Index;
    image.carriesAlpha = layout.stored.masks[3] != 0;
    image.suppliedColors = layout.tableEntries;
    for (std::int32_t i = 0; i < layout.tableEntries; ++i, table += 4) {
        image.colorTable[static_cast<std::size_t>(i)] = ColorEntry{table[0], table[1], table[2]};
    }
}

// A file with an alpha mask carries transparency only if some pixel's alpha is not 0: writers
// that fill no alpha leave it 0 everywhere, and such a picture is opaque. A pixel that is neither
// transparent nor opaque is refused, naming the first one from the top left. False when the
// picture is refused or reading it failed, its line printed.
bool SettleAlpha(SourceImage& image) {
    bool anyAlpha = false;
    const std::size_t width = static_cast<std::size_t>(image.width);
    const PixelWalk walk = VisitBands(image, [&](const Band& band) {
        for (std::int32_t r = 0; r < 8; ++r) {
            const std::uint8_t* row = band.top + r * band.down;
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint8_t alpha = row[4 * x + 3];
                if (alpha != 0 && alpha != 255) {
                    Report(Message::PartlyTransparent, {image.pixels.name, x, band.y0 + r});
                    return false;
                }
                anyAlpha = anyAlpha || alpha != 0;
            }
        }
        return true;
    });
    image.carriesAlpha = anyAlpha;
    return walk == PixelWalk::Finished;
}

// After SettleAlpha found every alpha 0 in a picture held in memory at four bytes a pixel, keeps
// only the blue, green and red bytes.
void DropAlphaUnlessCarried(SourceImage& image) {
    std::uint8_t* bytes = std::get<PixelsInMemory>(image.pixels.place).bytes.get();
    for (std::uint64_t i = 0; !image.carriesAlpha && i < PixelCount(image); ++i) {
        std::memmove(bytes + 3 * i, bytes + 4 * i, 3);
    }
}

}  // namespace

bool LoadBitmap(InputFile file, SourceImage& image) {
    const char* path = file.path.c_str();
    std::uint8_t head[kHeadRead] = {};
    std::uint64_t headRead = 0;
    if (!ReadInputFileAt(file, 0, head, kHeadRead, headRead)) {
        return false;
    }
    BitmapLayout layout;
    // A file that ends inside the headers is judged by what could be read of it.
    const std::uint64_t knownSize = headRead < kHeadRead ? headRead : file.size;
    if (!CheckHeaders(path, head, knownSize, layout)) {
        return false;
    }
    std::uint8_t table[4 * kMaxTableEntries];
    const std::uint64_t tableBytes = 4 * static_cast<std::uint64_t>(layout.tableEntries);
    std::uint64_t got = 0;
    if (!ReadInputFileAt(file, layout.tableOffset, table, tableBytes, got)) {
        return false;
    }
    if (got != tableBytes) {  // the file shrank since its length was checked
        Report(Message::Truncated, {path});
        return false;
    }
    // The pixels stay in the file, read as they are needed.
    StartImage(layout, table, image);
    std::string name = file.path;
    image.pixels = PixelSource{PixelsInFile{std::move(file), layout.pixelOffset, layout.stored},
                               layout.topDown, IdentityMap(), std::move(name)};
    return !image.carriesAlpha || SettleAlpha(image);
}

bool LoadBitmapFromMemory(const char* name, const std::uint8_t* data, std::size_t size,
                          SourceImage& image) {
    std::uint8_t head[kHeadRead] = {};
    if (size > 0) {
        std::memcpy(head, data, std::min(size, kHeadRead));
    }
    BitmapLayout layout;
    if (!CheckHeaders(name, head, size, layout)) {
        return false;
    }
    StartImage(layout, data + layout.tableOffset, image);
    const std::uint64_t rowBytes = layout.width * BytesPerPixel(image);
    Storage pixels = AllocateStorage(rowBytes * static_cast<std::uint64_t>(layout.height));
    if (!pixels) {
        Report(Message::NoMemoryToLoad, {name});
        return false;
    }
    // 8- and 24-bit rows are the picture's own pixels (a width that is a multiple of 8 leaves
    // them no padding): one copy. The others are unpacked row by row, and a picture with no pixels
    // has nothing to unpack, however many rows of nothing its header announces.
    if (layout.stored.bitCount == 0) {
        std::memcpy(pixels.get(), data + layout.pixelOffset,
                    static_cast<std::size_t>(rowBytes * static_cast<std::uint64_t>(layout.height)));
    }
    for (std::int32_t y = 0; layout.stored.bitCount != 0 && rowBytes != 0 && y < layout.height;
         ++y) {
        UnpackRow(layout.stored, data + layout.pixelOffset + y * layout.stored.rowBytes,
                  layout.width, image.carriesAlpha, pixels.get() + y * rowBytes);
    }
    image.pixels =
        PixelSource{PixelsInMemory{std::move(pixels)}, layout.topDown, IdentityMap(), name};
    // A file with an alpha mask is held at four bytes a pixel until its alpha is known.
    if (!image.carriesAlpha) {
        return true;
    }
    if (!SettleAlpha(image)) {
        return false;
    }
    DropAlphaUnlessCarried(image);
    return true;
}

}  // namespace bmp2tvx
