// The loaded picture that every later stage of a conversion works on.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <variant>

#include "byte_order.h"
#include "system.h"

namespace bmp2tvx {

// A 24-bit colour, as a colour-table entry holds it: in the byte order a BMP colour table stores.
struct ColorEntry {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    friend bool operator==(const ColorEntry&, const ColorEntry&) = default;
};

// What the input carries: a colour table and an index a pixel (a BMP of 1 to 8 bits, an indexed
// PNG), or a colour a pixel (a BMP of 16 to 32 bits, any other PNG).
enum class SourceKind { Index, FullColor };

const char* SourceKindName(SourceKind kind);

// A renumbering of index pixels: a pixel stored as v is read as map[v].
using IndexMap = std::array<std::uint8_t, 256>;

constexpr IndexMap IdentityMap() {
    IndexMap map{};
    for (std::size_t i = 0; i < map.size(); ++i) {
        map[i] = static_cast<std::uint8_t>(i);
    }
    return map;
}

// Pixel rows held in memory, one after another with no gaps.
struct PixelsInMemory {
    Storage bytes;
};

// How a BMP stores rows that are not yet the picture's own pixels: indices of 1 or 4 bits packed
// 8 or 2 to a byte, from the most significant bits on, or 16- or 32-bit words whose bit fields
// (`masks`: red, green, blue, alpha) hold the colours. Each stored row is padded to a multiple of 4
// bytes.
struct StoredRows {
    std::uint16_t bitCount = 0;  // 0: the rows are the picture's own pixels, as 8- and 24-bit BMPs
    std::uint64_t rowBytes = 0;  // one stored row, its padding included
    std::array<std::uint32_t, 4> masks{};
};

// Pixel rows still in the file they came from, one after another from byte `offset` on. A large
// picture is read from there a few bands at a time into a buffer that stays in the processor's
// cache, which saves copying it whole into fresh memory that the system must first clear.
struct PixelsInFile {
    InputFile file;
    std::uint64_t offset = 0;
    StoredRows stored;  // rows to unpack as they are read, for the other BMP depths
};

// A PNG file decoded as its rows are read, from the top down (png_reader.cpp); the decoder is
// started again from the file's first byte whenever a walk starts over.
struct PngDecoder;
struct PngDecoderRelease {
    void operator()(PngDecoder* decoder) const;
};
struct PixelsInPng {
    std::unique_ptr<PngDecoder, PngDecoderRelease> decoder;
};

// Where a picture's pixels are, and how they are read: one index byte per pixel (Index), or
// blue, green, red bytes per pixel (FullColor), followed by an alpha byte when the picture
// carries alpha. The only ways to them are those of image/pixels.h, which apply `renumbering` to
// index pixels as they read them.
struct PixelSource {
    std::variant<PixelsInMemory, PixelsInFile, PixelsInPng> place;
    // Row order: a usual BMP stores the bottom row first; a negative height in its header means
    // the top row comes first.
    bool topDown = false;
    IndexMap renumbering = IdentityMap();
    std::string name;  // the path that messages about the pixels name
};

// Width and height are multiples of 8. A picture always holds all of its pixels, in one place or
// the other: a default one has none and is 0 x 0.
struct SourceImage {
    std::int32_t width = 0;   // pixels per row
    std::int32_t height = 0;  // rows
    SourceKind kind = SourceKind::Index;

    // Index sources. Entries beyond suppliedColors were not in the file and are black. A
    // FullColor picture that carries alpha writes its transparent pixels as entry 0's colour when
    // it is written as FullColor16.
    std::array<ColorEntry, 256> colorTable{};
    std::int32_t suppliedColors = 0;

    // Transparency, as the file itself gives it. Index sources: the entries whose pixels are
    // transparent (the PNG's tRNS alpha 0). FullColor sources: whether each pixel has a fourth
    // byte, its alpha, 0 (transparent) or 255 (opaque); the readers refuse any other value.
    std::array<bool, 256> transparentEntries{};
    bool carriesAlpha = false;

    PixelSource pixels;
};

inline std::uint64_t PixelCount(const SourceImage& image) {
    return static_cast<std::uint64_t>(image.width) * static_cast<std::uint64_t>(image.height);
}

inline std::size_t BytesPerPixel(const SourceImage& image) {
    return image.kind == SourceKind::Index ? 1 : image.carriesAlpha ? 4 : 3;
}

}  // namespace bmp2tvx
