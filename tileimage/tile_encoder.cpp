#include "tileimage/tile_encoder.h"

#include "image/pixels.h"
#include "system/system.h"

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
inline std::uint64_t EightPixels(const std::uint8_t* p) {
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
// step from a pixel to the one below it (negative for rows kept bottom-up).
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
            PackPixels8(EightPixels(row), out);
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
// compiler can vectorise it.
#if defined(__GNUC__)
__attribute__((always_inline))
#endif
inline void
BgrToColor15Loop(const std::uint8_t* __restrict bgr, std::size_t count,
                 std::uint8_t* __restrict out) {
    for (std::size_t i = 0; i < count; ++i) {
        const Color15 word = ToColor15(bgr[3 * i], bgr[3 * i + 1], bgr[3 * i + 2]);
        out[2 * i] = static_cast<std::uint8_t>(word);
        out[2 * i + 1] = static_cast<std::uint8_t>(word >> 8);
    }
}

#ifdef BMP2TVX_AVX2_COPY
// The same loop compiled for processors with AVX2, which does the three-byte shuffles sixteen
// pixels at a time; used where the system says the processor has it.
__attribute__((target("avx2"))) void BgrToColor15Avx2(const std::uint8_t* __restrict bgr,
                                                      std::size_t count,
                                                      std::uint8_t* __restrict out) {
    BgrToColor15Loop(bgr, count, out);
}
#endif

void BgrToColor15(const std::uint8_t* bgr, std::size_t count, std::uint8_t* out) {
#ifdef BMP2TVX_AVX2_COPY
    static const bool avx2 = ProcessorHasAvx2();
    if (avx2) {
        BgrToColor15Avx2(bgr, count, out);
        return;
    }
#endif
    BgrToColor15Loop(bgr, count, out);
}

void FillFullColorRow(const SourceImage& image, const std::array<Color15, 256>& words,
                      const std::uint8_t* row, std::int32_t xBegin, std::int32_t xEnd,
                      std::uint8_t* out) {
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

std::optional<bool> FitsIndex16(const SourceImage& image) {
    std::uint8_t high = 0;
    const bool read = VisitPixels(image, [&](const std::uint8_t* pixels, std::size_t size) {
        std::uint8_t piece = 0;  // a local, so that the compiler can keep it in a register
        for (std::size_t i = 0; i < size; ++i) {
            piece |= pixels[i];
        }
        high |= piece;
        return high < 16;  // one pixel above 15 settles it
    });
    if (!read && high < 16) {
        return std::nullopt;
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
    BandReader bands;
    if (!OpenBandReader(image, bands)) {
        return false;
    }
    Band band;
    if (format == TileImageFormat::FullColor16) {
        const std::array<Color15, 256> words = PaletteWords(image);
        // Each row goes out in pieces as long as the buffer allows.
        const std::int32_t piecePixels =
            static_cast<std::int32_t>(std::min<std::size_t>(capacity / 2, INT32_MAX));
        for (std::int32_t y0 = 0; y0 < image.height; y0 += 8) {
            if (!ReadBand(bands, y0, band)) {
                return false;
            }
            for (std::int32_t r = 0; r < 8; ++r) {
                const std::uint8_t* row = band.top + r * band.down;
                for (std::int32_t x = 0; x < image.width; x += piecePixels) {
                    const std::int32_t end = x + std::min(piecePixels, image.width - x);
                    const std::size_t bytes = 2 * static_cast<std::size_t>(end - x);
                    if (!reserve(bytes)) {
                        return false;
                    }
                    FillFullColorRow(image, words, row, x, end, buffer + used);
                    used += bytes;
                }
            }
        }
        return flush();
    }

    // One band of eight pixel rows at a time, in runs of as many tiles as the buffer has room for.
    const bool four = format == TileImageFormat::Index16;
    const std::size_t tileBytes = four ? kTile4Bytes : kTile8Bytes;
    const std::size_t tilesAcross = static_cast<std::size_t>(image.width) / kTileSide;
    for (std::int32_t y0 = 0; y0 < image.height; y0 += 8) {
        if (!ReadBand(bands, y0, band)) {
            return false;
        }
        const std::uint8_t* top = band.top;
        const std::ptrdiff_t down = band.down;
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
    if (!EmitTileImage(image, format, scratch, [&](std::span<const std::uint8_t> bytes) {
            file.insert(file.end(), bytes.begin(), bytes.end());
            return true;
        })) {
        file.clear();
    }
    return file;
}

}  // namespace bmp2tvx
