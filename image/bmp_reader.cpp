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
//       28     2  biBitCount     8 (colour table + index bytes) or 24 (blue, green, red bytes)
//       30     4  biCompression  0 (uncompressed)
//       34    20  (sizes, resolution, colour counts): ignored
//  14 + biSize  4N colour table: N entries of blue, green, red, reserved, where
//                                N = (bfOffBits - biSize - 14) / 4; at most 256 are used
//  bfOffBits       pixel data: rows of width pixels, each padded to a multiple of 4 bytes; as the
//                                width is a multiple of 8, no row has padding, so the data is one
//                                block of width x height pixels
//
// Checks run in a fixed order and only the first problem is reported. Every size is worked out in
// 64 bits and compared with the real length of the file before anything is allocated, so no header
// can make the reader ask for more memory than the file itself fills.
#include "bmp_reader.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "messages.h"

namespace bmp2tvx {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;  // 54
constexpr std::int64_t kMaxTableEntries = 256;

std::uint32_t ReadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int32_t ReadI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(ReadU32(p));
}

std::uint16_t ReadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
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
    std::uint64_t pixelBytes = 0;
    std::uint64_t end = 0;  // one past the last byte the conversion needs
};

// The first problem with the headers (`head` holds the first min(54, fileSize) bytes of the file),
// checked against each other and against the file's length; nothing when there is none.
std::optional<Message> HeaderProblem(const std::uint8_t* head, std::uint64_t fileSize,
                                     BitmapLayout& layout) {
    if (fileSize < 2 || head[0] != 'B' || head[1] != 'M') {
        return Message::NotABitmap;
    }
    if (fileSize < kHeadersSize) {
        return Message::Truncated;
    }
    const std::uint64_t pixelOffset = ReadU32(head + 10);
    const std::uint64_t infoSize = ReadU32(head + 14);
    const std::int32_t fileWidth = ReadI32(head + 18);
    const std::int32_t fileHeight = ReadI32(head + 22);
    const std::uint16_t bitCount = ReadU16(head + 28);
    const std::uint32_t compression = ReadU32(head + 30);

    // A shorter info header (the old 12-byte form) puts other fields where these are read.
    if (infoSize < kInfoHeaderSize) {
        return Message::NotABitmap;
    }
    if (bitCount != 8 && bitCount != 24) {
        return Message::NotEightOrTwentyFourBit;
    }
    if (fileWidth % 8 != 0 || fileHeight % 8 != 0) {
        return Message::NotMultipleOfEight;
    }
    if (compression != 0) {
        return Message::NotUncompressed;
    }
    // The most negative 32-bit value is a multiple of 8 but has no 32-bit magnitude.
    if (fileWidth == INT32_MIN || fileHeight == INT32_MIN) {
        return Message::TooLarge;
    }
    // The pixels cannot start inside the headers; between the headers and the pixels lies the
    // colour table (and sometimes a gap that some writers leave).
    const std::uint64_t tableOffset = kFileHeaderSize + infoSize;
    if (pixelOffset < tableOffset) {
        return Message::NotABitmap;
    }
    layout.fullColor = bitCount == 24;
    layout.width = fileWidth < 0 ? -fileWidth : fileWidth;
    layout.height = fileHeight < 0 ? -fileHeight : fileHeight;
    layout.topDown = fileHeight < 0;
    layout.tableOffset = tableOffset;
    layout.tableEntries = layout.fullColor
                              ? 0
                              : static_cast<std::int32_t>(std::min<std::uint64_t>(
                                    (pixelOffset - tableOffset) / 4, kMaxTableEntries));
    layout.pixelOffset = pixelOffset;
    layout.pixelBytes = static_cast<std::uint64_t>(layout.width) *
                        static_cast<std::uint64_t>(layout.height) * (layout.fullColor ? 3u : 1u);
    layout.end = pixelOffset + layout.pixelBytes;
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
    if (!layout.fullColor) {
        image.suppliedColors = layout.tableEntries;
        for (std::int32_t i = 0; i < layout.tableEntries; ++i, table += 4) {
            image.colorTable[static_cast<std::size_t>(i)] =
                ColorEntry{table[0], table[1], table[2]};
        }
    }
}

}  // namespace

bool LoadBitmap(InputFile file, SourceImage& image) {
    const char* path = file.path.c_str();
    std::uint8_t head[kHeadersSize] = {};
    std::uint64_t headRead = 0;
    if (!ReadInputFileAt(file, 0, head, kHeadersSize, headRead)) {
        return false;
    }
    BitmapLayout layout;
    // A file that ends inside the headers is judged by what could be read of it.
    const std::uint64_t knownSize = headRead < kHeadersSize ? headRead : file.size;
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
    image.pixels = PixelSource{PixelsInFile{std::move(file), layout.pixelOffset}, layout.topDown,
                               IdentityMap(), std::move(name)};
    return true;
}

bool LoadBitmapFromMemory(const char* name, const std::uint8_t* data, std::size_t size,
                          SourceImage& image) {
    std::uint8_t head[kHeadersSize] = {};
    if (size > 0) {
        std::memcpy(head, data, std::min(size, kHeadersSize));
    }
    BitmapLayout layout;
    if (!CheckHeaders(name, head, size, layout)) {
        return false;
    }
    Storage pixels = AllocateStorage(layout.pixelBytes);
    if (!pixels) {
        Report(Message::NoMemoryToLoad, {name});
        return false;
    }
    std::memcpy(pixels.get(), data + layout.pixelOffset,
                static_cast<std::size_t>(layout.pixelBytes));
    StartImage(layout, data + layout.tableOffset, image);
    image.pixels =
        PixelSource{PixelsInMemory{std::move(pixels)}, layout.topDown, IdentityMap(), name};
    return true;
}

}  // namespace bmp2tvx
