// A loaded picture: what it is (its size and its colours, a value) and where its pixel rows are
// (a row source, which owns the file or decoder they come from).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "color.h"
#include "system.h"

namespace bmp2tvx {

// An indexed picture: a BMP of 1 to 8 bits, an indexed PNG. Its pixels are indices into `table`,
// one byte each; the entries past `supplied`, which the file does not hold, are black.
struct IndexedPicture {
    std::array<ColorEntry, 256> table{};
    std::int32_t supplied = 0;
    // The entries whose pixels the file makes transparent (a PNG's tRNS alpha 0).
    std::array<bool, 256> transparent{};
    // Bits the file stores an index in, 1, 2, 4 or 8: no pixel's index is 2^indexBits or more.
    std::uint8_t indexBits = 8;
};

// A true-colour picture: a BMP of 16 to 32 bits, any other PNG. Its pixels are blue, green and red
// bytes, and with `alpha` a fourth byte, 0 (transparent) or 255 (opaque): the readers refuse any
// other alpha.
struct TrueColorPicture {
    bool alpha = false;
};

// Width and height are multiples of 8 (and may be 0).
struct Picture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::variant<IndexedPicture, TrueColorPicture> colors;
    std::string name;  // the path that messages about the picture name
};

// What the input carries, as the summary line names it: "Index" or "FullColor".
enum class SourceKind { Index, FullColor };
SourceKind KindOf(const Picture& picture);
const char* SourceKindName(SourceKind kind);

inline std::uint64_t PixelCount(const Picture& picture) {
    return static_cast<std::uint64_t>(picture.width) * static_cast<std::uint64_t>(picture.height);
}

// Bytes a pixel takes in the picture's rows: 1, 3, or 4 with alpha.
std::size_t BytesPerPixel(const Picture& picture);

// A renumbering of index pixels: a pixel stored as v is written as map[v].
using IndexMap = std::array<std::uint8_t, 256>;
constexpr IndexMap IdentityMap() {
    IndexMap map{};
    for (std::size_t i = 0; i < map.size(); ++i) {
        map[i] = static_cast<std::uint8_t>(i);
    }
    return map;
}

// ---- Where the rows are ------------------------------------------------------------------------

// Rows in memory, one after another, each the picture's own pixels.
struct RowsInMemory {
    Storage bytes;
};

// How a BMP stores its rows: `bitCount` bits a pixel, each row padded to a multiple of 4 bytes.
// 8- and 24-bit rows are the picture's own pixels; 1- and 4-bit indices are packed 8 or 2 to a
// byte, the leftmost in the most significant bits; 16- and 32-bit words hold the colours in the
// bit fields `masks` (red, green, blue, alpha).
struct StoredRows {
    std::uint16_t bitCount = 8;
    std::uint64_t rowBytes = 0;
    std::array<std::uint32_t, 4> masks{};
};
inline bool NeedsUnpacking(const StoredRows& stored) {
    return stored.bitCount != 8 && stored.bitCount != 24;
}

// A BMP's rows where its file holds them, from byte `offset` on.
struct RowsInBmp {
    InputFile file;
    std::uint64_t offset = 0;
    StoredRows stored;
};

// A PNG decoded as its rows are read, from the top down (png_reader.cpp); the decoder starts over
// from the file's first byte whenever a walk starts over.
struct PngDecoder;
struct PngDecoderRelease {
    void operator()(PngDecoder* decoder) const;
};
struct RowsInPng {
    std::unique_ptr<PngDecoder, PngDecoderRelease> decoder;
};

// The one way to a picture's rows, wherever they are: image/pixels.h reads them.
struct RowSource {
    std::variant<RowsInMemory, RowsInBmp, RowsInPng> place;
    // Row order: a usual BMP stores the bottom row first; a top-down BMP and a PNG the top one.
    bool topDown = false;
};

// A picture and its rows, as a reader gives them.
struct SourceImage {
    Picture picture;
    RowSource rows;
};

}  // namespace bmp2tvx
