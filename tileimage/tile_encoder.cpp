#include "tileimage/tile_encoder.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace bmp2tvx {

namespace {

// Colour-table entries 0 to count - 1 as Color15 words: 2 x count bytes.
void FillPaletteBlock(const SourceImage& image, std::size_t count, std::uint8_t* out) {
    for (std::size_t i = 0; i < count; ++i) {
        const ColorEntry& c = image.colorTable[i];
        PutU16(out + 2 * i, ToColor15(c.blue, c.green, c.red));
    }
}

// Eight pixels as one 64-bit value, the leftmost in the low byte, whatever the host's byte order.
inline std::uint64_t LoadPixels8(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(p[0]) | (static_cast<std::uint64_t>(p[1]) << 8) |
           (static_cast<std::uint64_t>(p[2]) << 16) | (static_cast<std::uint64_t>(p[3]) << 24) |
           (static_cast<std::uint64_t>(p[4]) << 32) | (static_cast<std::uint64_t>(p[5]) << 40) |
           (static_cast<std::uint64_t>(p[6]) << 48) | (static_cast<std::uint64_t>(p[7]) << 56);
}

// Packs eight pixels into four bytes, each pair as (right x 16 + left) modulo 256, all four pairs
// at once: every pair's sum fits its own 16-bit lane, so no lane spills into the next.
inline void PackPixels8(std::uint64_t v, std::uint8_t* out) {
    constexpr std::uint64_t kLowBytes = 0x00FF00FF00FF00FFull;
    std::uint64_t sums = ((v & kLowBytes) + (((v >> 8) & kLowBytes) << 4)) & kLowBytes;
    sums = (sums | (sums >> 8)) & 0x0000FFFF0000FFFFull;
    sums = sums | (sums >> 16);
    out[0] = static_cast<std::uint8_t>(sums);
    out[1] = static_cast<std::uint8_t>(sums >> 8);
    out[2] = static_cast<std::uint8_t>(sums >> 16);
    out[3] = static_cast<std::uint8_t>(sums >> 24);
}

// A run of `tiles` tiles side by side. `top` is the first tile's top-left pixel and `down` the
// step from a pixel to the one below it: negative, as rows are kept bottom-up.
void EncodeTiles8(const std::uint8_t* top, std::ptrdiff_t down, std::size_t tiles,
                  std::uint8_t* __restrict out) {
    for (std::size_t t = 0; t < tiles; ++t, top += 8) {
        const std::uint8_t* row = top;
        for (int r = 0; r < 8; ++r, row += down, out += 8) {
            std::memcpy(out, row, 8);
        }
    }
}

void EncodeTiles4(const std::uint8_t* top, std::ptrdiff_t down, std::size_t tiles,
                  std::uint8_t* __restrict out) {
    for (std::size_t t = 0; t < tiles; ++t, top += 8) {
        const std::uint8_t* row = top;
        for (int r = 0; r < 8; ++r, row += down, out += 4) {
            PackPixels8(LoadPixels8(row), out);
        }
    }
}

std::array<Color15, 256> PaletteWords(const SourceImage& image) {
    std::array<Color15, 256> words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        const ColorEntry& c = image.colorTable[i];
        words[i] = ToColor15(c.blue, c.green, c.red);
    }
    return words;
}

// Blue, green, red byte triples to little-endian Color15 words. The loop is written so that the
// compiler can vectorise it; the AVX2 copy, picked at load time on processors that have it, does
// the three-byte shuffles sixteen pixels at a time.
#ifdef BMP2TVX_TARGET_CLONES
__attribute__((target_clones("avx2", "default")))
#endif
void BgrToColor15(const std::uint8_t* __restrict bgr, std::size_t count,
                  std::uint8_t* __restrict out) {
    for (std::size_t i = 0; i < count; ++i) {
        const Color15 word = ToColor15(bgr[3 * i], bgr[3 * i + 1], bgr[3 * i + 2]);
        out[2 * i] = static_cast<std::uint8_t>(word);
        out[2 * i + 1] = static_cast<std::uint8_t>(word >> 8);
    }
}

void FillFullColorRow(const SourceImage& image, const std::array<Color15, 256>& words,
                      std::int32_t y, std::int32_t xBegin, std::int32_t xEnd, std::uint8_t* out) {
    const std::uint8_t* row = RowFromTop(image, y);
    if (image.isFullColor) {
        BgrToColor15(row + 3 * static_cast<std::size_t>(xBegin),
                     static_cast<std::size_t>(xEnd - xBegin), out);
    } else {
        for (std::int32_t x = xBegin; x < xEnd; ++x, out += 2) {
            PutU16(out, words[row[x]]);
        }
    }
}

}  // namespace

bool FitsIndex16(const SourceImage& image) {
    const std::uint8_t* pixels = image.indexPixels;
    const std::uint64_t total = PixelCount(image);
    std::uint8_t high = 0;
    for (std::uint64_t i = 0; i < total; ++i) {
        high |= pixels[i];
    }
    return high < 16;
}

bool EmitTileImage(const SourceImage& image, TileImageFormat format,
                   std::span<std::uint8_t> scratch, const ByteSink& sink) {
    std::uint8_t* const buffer = scratch.data();
    const std::size_t capacity = scratch.size();
    std::size_t used = 0;
    auto flush = [&]() {
        const bool ok = used == 0 || sink(std::span<const std::uint8_t>(buffer, used));
        used = 0;
        return ok;
    };
    // Room for `bytes` more, flushing first if needed; `bytes` never exceeds the capacity.
    auto reserve = [&](std::size_t bytes) { return used + bytes <= capacity || flush(); };

    std::uint8_t header[kTileImageHeaderSize];
    PutTileImageHeader(MakeTileImageHeader(format, static_cast<std::uint32_t>(image.width),
                                           static_cast<std::uint32_t>(image.height)),
                       header);
    std::uint8_t palette[2 * 256];
    const std::size_t paletteBytes = 2 * PaletteEntries(format);
    FillPaletteBlock(image, PaletteEntries(format), palette);
    for (std::span<const std::uint8_t> piece :
         {std::span<const std::uint8_t>(header, sizeof header),
          std::span<const std::uint8_t>(palette, paletteBytes)}) {
        while (!piece.empty()) {
            if (used == capacity && !flush()) {
                return false;
            }
            const std::size_t n = std::min(piece.size(), capacity - used);
            std::memcpy(buffer + used, piece.data(), n);
            used += n;
            piece = piece.subspan(n);
        }
    }

    // A picture with no columns has no tiles and no pixels, however many rows it claims.
    if (image.width == 0 || image.height == 0) {
        return flush();
    }
    if (format == TileImageFormat::FullColor16) {
        const std::array<Color15, 256> words = PaletteWords(image);
        // Each row goes out in pieces as long as the buffer allows.
        const std::int32_t piecePixels =
            static_cast<std::int32_t>(std::min<std::size_t>(capacity / 2, INT32_MAX));
        for (std::int32_t y = 0; y < image.height; ++y) {
            for (std::int32_t x = 0; x < image.width; x += piecePixels) {
                const std::int32_t end = x + std::min(piecePixels, image.width - x);
                const std::size_t bytes = 2 * static_cast<std::size_t>(end - x);
                if (!reserve(bytes)) {
                    return false;
                }
                FillFullColorRow(image, words, y, x, end, buffer + used);
                used += bytes;
            }
        }
        return flush();
    }

    // One band of eight pixel rows at a time, in runs of as many tiles as the buffer has room for.
    const bool four = format == TileImageFormat::Index16;
    const std::size_t tileBytes = four ? kTile4Bytes : kTile8Bytes;
    const std::size_t tilesAcross = static_cast<std::size_t>(image.width) / kTileSide;
    const std::ptrdiff_t down = -static_cast<std::ptrdiff_t>(image.width);
    for (std::int32_t y0 = 0; y0 < image.height; y0 += 8) {
        const std::uint8_t* top = RowFromTop(image, y0);
        for (std::size_t done = 0; done < tilesAcross;) {
            if (!reserve(tileBytes)) {
                return false;
            }
            const std::size_t run = std::min(tilesAcross - done, (capacity - used) / tileBytes);
            (four ? EncodeTiles4 : EncodeTiles8)(top + 8 * done, down, run, buffer + used);
            used += run * tileBytes;
            done += run;
        }
    }
    return flush();
}

std::vector<std::uint8_t> EncodeTileImage(const SourceImage& image, TileImageFormat format) {
    std::vector<std::uint8_t> file;
    file.reserve(
        static_cast<std::size_t>(TileImageFileSize(format, static_cast<std::uint64_t>(image.width),
                                                   static_cast<std::uint64_t>(image.height))));
    std::array<std::uint8_t, 64 * 1024> scratch;
    EmitTileImage(image, format, scratch, [&](std::span<const std::uint8_t> bytes) {
        file.insert(file.end(), bytes.begin(), bytes.end());
        return true;
    });
    return file;
}

}  // namespace bmp2tvx
