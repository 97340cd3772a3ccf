#include "tile_encoder.h"

#include <algorithm>
#include <cstring>

#include "messages.h"
#include "pixels.h"

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

// A run of `tiles` tiles side by side, 4 or 8 bits a pixel. `top` is the first tile's top-left
// pixel and `down` the step from a pixel to the one below it (negative for rows kept bottom-up).
template <bool kFour>
void EncodeTiles(const std::uint8_t* top, std::ptrdiff_t down, std::size_t tiles,
                 std::uint8_t* __restrict out) {
    for (std::size_t t = 0; t < tiles; ++t, top += 8) {
        const std::uint8_t* row = top;
        for (int r = 0; r < 8; ++r, row += down, out += kFour ? 4 : 8) {
            if constexpr (kFour) {
                PackPixels8(EightPixels(row), out);
            } else {
                std::memcpy(out, row, 8);
            }
        }
    }
}

// Index pixels through a renumbering. Moving the key colour exchanges two numbers, `a` and
// `b` (`exchange`), which is written as selects so that the compiler can work on many pixels per
// instruction; any other renumbering looks every pixel up.
void Renumber(const IndexMap& map, bool exchange, std::uint8_t a,
              const std::uint8_t* __restrict from, std::size_t count, std::uint8_t* __restrict to) {
    const std::uint8_t b = map[a];
    for (std::size_t i = 0; exchange && i < count; ++i) {
        const std::uint8_t p = from[i];
        to[i] = p == a ? b : p == b ? a : p;
    }
    for (std::size_t i = 0; !exchange && i < count; ++i) {
        to[i] = map[from[i]];
    }
}

// Index pixels to little-endian colour words through a word for each index.
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
std::uint8_t* Reserve(Output& out, std::size_t bytes) {
    if (out.used + bytes > out.scratch.size()) {
        Flush(out);
    }
    return out.scratch.data() + out.used;
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

// What an encoding keeps from strip to strip.
struct Encoder {
    const PixelCoding* coding = nullptr;
    const TileLayout* layout = nullptr;
    const Picture* picture = nullptr;
    bool renumber = false;  // index pixels are written as other indices
    bool exchange = false;  // by exchanging entry `a` with another, and nothing else
    std::uint8_t a = 0;
    Storage mapped;                    // a strip's pixels, renumbered
    std::array<Color15, 256> words{};  // FullColor16 of indexed pixels: each stored index's word
};

// A strip of indices, renumbered into the encoder's block where the plan renumbers them.
Strip Renumbered(Encoder& e, const Strip& strip) {
    if (!e.renumber) {
        return strip;
    }
    const std::size_t width = static_cast<std::size_t>(e.picture->width);
    for (std::int32_t r = 0; r < strip.count; ++r) {
        Renumber(e.coding->map, e.exchange, e.a, strip.top + r * strip.down, width,
                 e.mapped.get() + static_cast<std::size_t>(r) * width);
    }
    return Strip{strip.y0, strip.count, e.mapped.get(), static_cast<std::ptrdiff_t>(width)};
}

// The tiles of a strip's cells, a run of cells side by side at a time, in pieces as long as the
// scratch block has room for.
void EmitTiles(Encoder& e, const Strip& stored, Output& out) {
    const Strip strip = Renumbered(e, stored);
    const bool four = e.coding->format == TargetFormat::Index16;
    const std::size_t tileBytes = four ? kTile4Bytes : kTile8Bytes;
    const std::vector<std::vector<CellRun>>& perStrip = e.layout->stripRuns;
    for (const CellRun& run :
         perStrip.empty() ? e.layout->runs
                          : perStrip[static_cast<std::size_t>(strip.y0 / e.layout->stripRows)]) {
        const std::uint8_t* top =
            strip.top + static_cast<std::ptrdiff_t>(run.y) * strip.down + run.x;
        for (std::size_t done = 0; done < run.count;) {
            std::uint8_t* to = Reserve(out, tileBytes);
            const std::size_t n = std::min<std::size_t>(
                run.count - done, (out.scratch.size() - out.used) / tileBytes);
            if (four) {
                EncodeTiles<true>(top + kTileSide * done, strip.down, n, to);
            } else {
                EncodeTiles<false>(top + kTileSide * done, strip.down, n, to);
            }
            out.used += n * tileBytes;
            done += n;
        }
    }
}

// A strip as colour words, each row in pieces as long as the scratch block allows.
void EmitColorWords(Encoder& e, const Strip& strip, Output& out) {
    const std::int32_t width = e.picture->width;
    const std::size_t bytesPerPixel = BytesPerPixel(*e.picture);
    const std::int32_t piece =
        static_cast<std::int32_t>(std::min<std::size_t>(out.scratch.size() / 2, INT32_MAX));
    for (std::int32_t r = 0; r < strip.count; ++r) {
        const std::uint8_t* row = strip.top + r * strip.down;
        for (std::int32_t x = 0; x < width; x += piece) {
            const std::size_t count = static_cast<std::size_t>(std::min(piece, width - x));
            std::uint8_t* to = Reserve(out, 2 * count);
            const std::uint8_t* from = row + static_cast<std::size_t>(x) * bytesPerPixel;
            if (bytesPerPixel == 1) {
                IndexToColor15(from, count, e.words.data(), to);
            } else if (bytesPerPixel == 3) {
                BgrToColor15(from, count, to);
            } else {
                BgraToColor15(from, count, e.coding->clear, to);
            }
            out.used += 2 * count;
        }
    }
}

bool StartEncoder(const PixelCoding& coding, const TileLayout& layout, const Picture& picture,
                  Encoder& e) {
    e.coding = &coding;
    e.layout = &layout;
    e.picture = &picture;
    for (std::size_t v = 0; v < e.words.size(); ++v) {
        e.words[v] = coding.palette[coding.map[v]];
    }
    const bool tiles = coding.format != TargetFormat::FullColor16;
    const IndexMap& map = coding.map;
    std::vector<std::uint8_t> moved;
    for (std::size_t v = 0; v < map.size(); ++v) {
        if (map[v] != v) {
            moved.push_back(static_cast<std::uint8_t>(v));
        }
    }
    e.renumber = tiles && !moved.empty();
    e.exchange = moved.size() == 2 && map[map[moved[0]]] == moved[0];
    e.a = moved.empty() ? 0 : moved[0];
    if (e.renumber) {
        e.mapped = AllocateStorage(static_cast<std::uint64_t>(picture.width) *
                                   static_cast<std::uint64_t>(layout.stripRows));
        if (!e.mapped) {
            Report(Message::NoMemoryToConvert, {picture.name});
            return false;
        }
    }
    return true;
}

}  // namespace

bool EmitTileImage(const PixelCoding& coding, const TileLayout& layout, SourceImage& pixels,
                   std::span<std::uint8_t> scratch, const ByteSink& sink) {
    Encoder e;
    if (!StartEncoder(coding, layout, pixels.picture, e)) {
        return false;
    }
    Output out{scratch, &sink};
    std::uint8_t header[kTileImageHeaderSize];
    PutTileImageHeader(MakeTileImageHeader(coding.format, layout.width, layout.height), header);
    Append(out, header);
    std::uint8_t palette[2 * 256];
    for (std::size_t i = 0; i < PaletteEntries(coding.format); ++i) {
        StoreLittle16(palette + 2 * i, coding.palette[i]);
    }
    Append(out, std::span<const std::uint8_t>(palette, 2 * PaletteEntries(coding.format)));
    const bool tiles = coding.format != TargetFormat::FullColor16;
    const PixelWalk walk =
        VisitStrips(pixels, tiles ? layout.stripRows : 8, [&](const Strip& strip) {
            if (tiles) {
                EmitTiles(e, strip, out);
            } else {
                EmitColorWords(e, strip, out);
            }
            return true;
        });
    if (walk != PixelWalk::Finished) {
        return false;
    }
    Flush(out);
    return true;
}

std::optional<SourceImage> WrittenIndices(const PixelCoding& coding, SourceImage& pixels) {
    const Picture& picture = pixels.picture;
    const auto width = static_cast<std::size_t>(picture.width);
    Storage written = AllocateStorage(PixelCount(picture));
    if (!written) {
        Report(Message::NoMemoryToConvert, {picture.name});
        return std::nullopt;
    }
    if (VisitBands(pixels, [&](const Strip& band) {
            for (std::int32_t r = 0; r < band.count; ++r) {
                const std::uint8_t* from = band.top + r * band.down;
                std::uint8_t* to = written.get() + static_cast<std::size_t>(band.y0 + r) * width;
                std::transform(from, from + width, to,
                               [&](std::uint8_t v) { return coding.map[v]; });
            }
            return true;
        }) != PixelWalk::Finished) {
        return std::nullopt;
    }
    return SourceImage{Picture{picture.width, picture.height, IndexedPicture{}, picture.name},
                       RowSource{RowsInMemory{std::move(written)}, true}};
}

bool EncodeTileImage(const PixelCoding& coding, const TileLayout& layout, SourceImage& pixels,
                     std::vector<std::uint8_t>& file) {
    file.clear();
    file.reserve(
        static_cast<std::size_t>(TileImageFileSize(coding.format, layout.width, layout.height)));
    std::array<std::uint8_t, 64 * 1024> scratch;
    return EmitTileImage(coding, layout, pixels, scratch, [&](std::span<const std::uint8_t> bytes) {
        file.insert(file.end(), bytes.begin(), bytes.end());
    });
}

bool WriteTileImage(OutputFile& output, const PixelCoding& coding, const TileLayout& layout,
                    SourceImage& pixels) {
    constexpr std::size_t kBlock = 128 * 1024;
    const Storage scratch = AllocateStorage(kBlock);
    if (!scratch) {
        Report(Message::NoMemoryToConvert, {pixels.picture.name});
        return false;
    }
    return EmitTileImage(
        coding, layout, pixels, std::span<std::uint8_t>(scratch.get(), kBlock),
        [&](std::span<const std::uint8_t> bytes) { WriteOutputFile(output, bytes); });
}

}  // namespace bmp2tvx
