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

// The tile whose top-left pixel is at `top`, its rows `down` apart: 8 bytes a row, or 4.
void EncodeTile(const std::uint8_t* top, std::ptrdiff_t down, bool four,
                std::uint8_t* __restrict out) {
    for (int r = 0; r < 8; ++r, top += down) {
        if (four) {
            PackPixels8(EightPixels(top), out + 4 * r);
        } else {
            std::memcpy(out + 8 * r, top, 8);
        }
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
    bool renumber = false;         // index pixels are written as other indices
    Storage mapped;                // a strip's pixels, renumbered
    std::array<Color15, 256> words{};  // FullColor16 of indexed pixels: each stored index's word
};

// A strip of indices, renumbered into the encoder's block where the plan renumbers them.
Strip Renumbered(Encoder& e, const Strip& strip) {
    if (!e.renumber) {
        return strip;
    }
    const std::size_t width = static_cast<std::size_t>(e.picture->width);
    for (std::int32_t r = 0; r < strip.count; ++r) {
        const std::uint8_t* from = strip.top + r * strip.down;
        std::uint8_t* to = e.mapped.get() + static_cast<std::size_t>(r) * width;
        for (std::size_t x = 0; x < width; ++x) {
            to[x] = e.coding->map[from[x]];
        }
    }
    return Strip{strip.y0, strip.count, e.mapped.get(), static_cast<std::ptrdiff_t>(width)};
}

void EmitTiles(Encoder& e, const Strip& stored, Output& out) {
    const Strip strip = Renumbered(e, stored);
    const bool four = e.coding->format == TargetFormat::Index16;
    const std::size_t tileBytes = four ? kTile4Bytes : kTile8Bytes;
    for (const CellPlace& cell : e.layout->cells) {
        const std::uint8_t* top = strip.top + static_cast<std::ptrdiff_t>(cell.y) * strip.down + cell.x;
        EncodeTile(top, strip.down, four, Reserve(out, tileBytes));
        out.used += tileBytes;
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
    e.renumber = tiles && coding.map != IdentityMap();
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

bool EncodeTileImage(const PixelCoding& coding, const TileLayout& layout, SourceImage& pixels,
                     std::vector<std::uint8_t>& file) {
    file.clear();
    file.reserve(static_cast<std::size_t>(TileImageFileSize(coding.format, layout.width, layout.height)));
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
    return EmitTileImage(coding, layout, pixels, std::span<std::uint8_t>(scratch.get(), kBlock),
                         [&](std::span<const std::uint8_t> bytes) { WriteOutputFile(output, bytes); });
}

}  // namespace bmp2tvx
