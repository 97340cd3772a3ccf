#include "tile_encoder.h"

#include "color_words.h"
#include "pixels.h"
#include "system.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace bmp2tvx {

namespace {

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

// Returns every pixel ORed together, which is above 15 when some pixel is.
std::uint64_t EncodeTiles4(const std::uint8_t* top, std::ptrdiff_t down, std::size_t tiles,
                           std::uint8_t* __restrict out) {
    std::uint64_t all = 0;
    for (std::size_t t = 0; t < tiles; ++t, top += 8) {
        const std::uint8_t* row = top;
        for (int r = 0; r < 8; ++r, row += down, out += 4) {
            const std::uint64_t pixels = EightPixels(row);
            all |= pixels;
            PackPixels8(pixels, out);
        }
    }
    return all;
}

std::array<Color15, 256> PaletteWords(const SourceImage& image) {
    std::array<Color15, 256> words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        const ColorEntry& c = image.colorTable[i];
        words[i] = ToColor15(c.blue, c.green, c.red);
    }
    return words;
}

// Index pixels to little-endian Color15 words through the palette's words. The pointers do not
// overlap, which lets the compiler keep the words in place and store each one whole.
void IndexToColor15(const std::uint8_t* __restrict row, std::size_t count,
                    const Color15* __restrict words, std::uint8_t* __restrict out) {
    for (std::size_t i = 0; i < count; ++i) {
        const Color15 word = words[row[i]];
        out[2 * i] = static_cast<std::uint8_t>(word);
        out[2 * i + 1] = static_cast<std::uint8_t>(word >> 8);
    }
}

// Blue, green, red, alpha quadruples to colour words; a transparent pixel is `clear`.
void BgraToColor15(const std::uint8_t* bgra, std::size_t count, Color15 clear, std::uint8_t* out) {
    for (std::size_t i = 0; i < count; ++i, bgra += 4) {
        StoreLittle16(out + 2 * i, bgra[3] == 0 ? clear : ToColor15(bgra[0], bgra[1], bgra[2]));
    }
}

void FillFullColorRow(const SourceImage& image, const std::array<Color15, 256>& words,
                      const std::uint8_t* row, std::int32_t xBegin, std::int32_t xEnd,
                      std::uint8_t* out) {
    const std::size_t count = static_cast<std::size_t>(xEnd - xBegin);
    if (image.kind == SourceKind::FullColor && image.carriesAlpha) {
        BgraToColor15(row + 4 * static_cast<std::size_t>(xBegin), count, words[0], out);
    } else if (image.kind == SourceKind::FullColor) {
        BgrToColor15(row + 3 * static_cast<std::size_t>(xBegin), count, out);
    } else {
        IndexToColor15(row + xBegin, count, words.data(), out);
    }
}

// The file's bytes, collected in the scratch block and handed to the sink whenever it is full.
struct Output {
    std::span<std::uint8_t> scratch;
    const ByteSink* sink = nullptr;
    std::size_t used = 0;
};

void Flush(Output& out) {
    if (out.used > 0) {
        (*out.sink)(out.scratch.first(out.used));
    }
    out.used = 0;
}

// Room for `bytes` more (never more than the scratch block), flushing first if needed.
void Reserve(Output& out, std::size_t bytes) {
    if (out.used + bytes > out.scratch.size()) {
        Flush(out);
    }
}

void Append(Output& out, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        if (out.used == out.scratch.size()) {
            Flush(out);
        }
        const std::size_t n = std::min(bytes.size(), out.scratch.size() - out.used);
        std::memcpy(out.scratch.data() + out.used, bytes.data(), n);
        out.used += n;
        bytes = bytes.subspan(n);
    }
}

// One band as 15-bit colour words, each row in pieces as long as the scratch block allows.
void EmitFullColorBand(const SourceImage& image, const std::array<Color15, 256>& words,
                       const Band& band, Output& out) {
    const std::int32_t piecePixels =
        static_cast<std::int32_t>(std::min<std::size_t>(out.scratch.size() / 2, INT32_MAX));
    for (std::int32_t r = 0; r < 8; ++r) {
        const std::uint8_t* row = band.top + r * band.down;
        for (std::int32_t x = 0; x < image.width; x += piecePixels) {
            const std::int32_t end = x + std::min(piecePixels, image.width - x);
            const std::size_t bytes = 2 * static_cast<std::size_t>(end - x);
            Reserve(out, bytes);
            FillFullColorRow(image, words, row, x, end, out.scratch.data() + out.used);
            out.used += bytes;
        }
    }
}

// One band of tiles, in runs of as many tiles as the scratch block has room for. False, with the
// run left out, when a 4-bit tile of the run would not hold some pixel.
bool EmitTileBand(std::size_t tilesAcross, bool four, const Band& band, Output& out) {
    const std::size_t tileBytes = four ? kTile4Bytes : kTile8Bytes;
    for (std::size_t done = 0; done < tilesAcross;) {
        Reserve(out, tileBytes);
        const std::size_t run =
            std::min(tilesAcross - done, (out.scratch.size() - out.used) / tileBytes);
        std::uint8_t* to = out.scratch.data() + out.used;
        if (four) {
            if ((EncodeTiles4(band.top + 8 * done, band.down, run, to) & 0xF0F0F0F0F0F0F0F0ull) !=
                0) {
                return false;
            }
        } else {
            EncodeTiles8(band.top + 8 * done, band.down, run, to);
        }
        out.used += run * tileBytes;
        done += run;
    }
    return true;
}

}  // namespace

void BgrToColor15(const std::uint8_t* bgr, std::size_t count, std::uint8_t* out) {
    if (!BgrToColor15Faster(bgr, count, out)) {
        BgrToColor15Loop(bgr, count, out);
    }
}

void BgrToColor15Generic(const std::uint8_t* bgr, std::size_t count, std::uint8_t* out) {
    BgrToColor15Loop(bgr, count, out);
}

Encoding EmitTileImage(const SourceImage& image, TargetFormat format,
                       std::span<std::uint8_t> scratch, const ByteSink& sink) {
    Output out{scratch, &sink};
    std::uint8_t header[kTileImageHeaderSize];
    PutTileImageHeader(MakeTileImageHeader(format, static_cast<std::uint32_t>(image.width),
                                           static_cast<std::uint32_t>(image.height)),
                       header);
    const std::array<Color15, 256> words = PaletteWords(image);
    std::uint8_t palette[2 * 256];
    for (std::size_t i = 0; i < PaletteEntries(format); ++i) {
        StoreLittle16(palette + 2 * i, words[i]);
    }
    Append(out, header);
    Append(out, std::span<const std::uint8_t>(palette, 2 * PaletteEntries(format)));
    const std::size_t tilesAcross = static_cast<std::size_t>(image.width) / kTileSide;
    const PixelWalk walk = VisitBands(image, [&](const Band& band) {
        if (format == TargetFormat::FullColor16) {
            EmitFullColorBand(image, words, band, out);
            return true;
        }
        return EmitTileBand(tilesAcross, format == TargetFormat::Index16, band, out);
    });
    switch (walk) {
        case PixelWalk::Finished:
            Flush(out);
            return Encoding{};
        case PixelWalk::Stopped:
            return Encoding{Outcome::Refused, Notice{Message::AboveIndex16, {image.pixels.name}}};
        case PixelWalk::Failed:
            return Encoding{Outcome::ReadFailed, std::nullopt};
    }
    return Encoding{Outcome::ReadFailed, std::nullopt};
}

Encoding EncodeTileImage(const SourceImage& image, TargetFormat format,
                         std::vector<std::uint8_t>& file) {
    file.clear();
    file.reserve(
        static_cast<std::size_t>(TileImageFileSize(format, static_cast<std::uint64_t>(image.width),
                                                   static_cast<std::uint64_t>(image.height))));
    std::array<std::uint8_t, 64 * 1024> scratch;
    return EmitTileImage(image, format, scratch, [&](std::span<const std::uint8_t> bytes) {
        file.insert(file.end(), bytes.begin(), bytes.end());
    });
}

std::vector<std::uint8_t> EncodeTileImage(const SourceImage& image, TargetFormat format) {
    std::vector<std::uint8_t> file;
    if (EncodeTileImage(image, format, file).outcome != Outcome::Complete) {
        file.clear();
    }
    return file;
}

Encoding WriteTileImage(OutputFile& output, const SourceImage& image, TargetFormat format) {
    constexpr std::size_t kBlock = 128 * 1024;
    const Storage scratch = AllocateStorage(kBlock);
    if (!scratch) {
        return Encoding{Outcome::NoMemory, Notice{Message::NoMemoryToConvert, {image.pixels.name}}};
    }
    return EmitTileImage(
        image, format, std::span<std::uint8_t>(scratch.get(), kBlock),
        [&](std::span<const std::uint8_t> bytes) { WriteOutputFile(output, bytes); });
}

}  // namespace bmp2tvx
