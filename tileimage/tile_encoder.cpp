#include "tileimage/tile_encoder.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace bmp2tvx {

const char* TargetFormatName(TargetFormat format) {
    switch (format) {
        case TargetFormat::Index16:
            return "Index16";
        case TargetFormat::Index256:
            return "Index256";
        case TargetFormat::FullColor16:
            return "FullColor16";
    }
    return "?";
}

void WriteHeader(const SourceImage& image, TargetFormat format, std::uint8_t* out) {
    const std::uint32_t tilesAcross = static_cast<std::uint32_t>(image.width) / kTileSide;
    const std::uint32_t tilesDown = static_cast<std::uint32_t>(image.height) / kTileSide;
    PutU16(out, static_cast<std::uint16_t>(format));
    PutU16(out + 2, static_cast<std::uint16_t>(tilesAcross & 0xFFFF));
    PutU16(out + 4, static_cast<std::uint16_t>(tilesDown & 0xFFFF));
    PutU16(out + 6, static_cast<std::uint16_t>((tilesAcross * tilesDown) & 0xFFFF));
}

void WritePaletteBlock(const SourceImage& image, std::size_t count, std::uint8_t* out) {
    for (std::size_t i = 0; i < count; ++i) {
        const ColorEntry& c = image.colorTable[i];
        PutU16(out + 2 * i, ToColor15(c.blue, c.green, c.red));
    }
}

void WriteTile8(const SourceImage& image, std::int32_t x0, std::int32_t y0, std::uint8_t* out) {
    for (std::int32_t r = 0; r < 8; ++r) {
        std::memcpy(out + 8 * r, RowFromTop(image, y0 + r) + x0, 8);
    }
}

void WriteTile4(const SourceImage& image, std::int32_t x0, std::int32_t y0, std::uint8_t* out) {
    for (std::int32_t r = 0; r < 8; ++r) {
        const std::uint8_t* row = RowFromTop(image, y0 + r) + x0;
        for (std::int32_t k = 0; k < 4; ++k) {
            out[4 * r + k] = static_cast<std::uint8_t>(row[2 * k + 1] * 16 + row[2 * k]);
        }
    }
}

namespace {

std::array<Color15, 256> PaletteWords(const SourceImage& image) {
    std::array<Color15, 256> words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        const ColorEntry& c = image.colorTable[i];
        words[i] = ToColor15(c.blue, c.green, c.red);
    }
    return words;
}

void WriteFullColorRowWith(const SourceImage& image, const std::array<Color15, 256>& words,
                           std::int32_t y, std::int32_t xBegin, std::int32_t xEnd,
                           std::uint8_t* out) {
    const std::uint8_t* row = RowFromTop(image, y);
    if (image.isFullColor) {
        for (std::int32_t x = xBegin; x < xEnd; ++x, out += 2) {
            const std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
            PutU16(out, ToColor15(p[0], p[1], p[2]));
        }
    } else {
        for (std::int32_t x = xBegin; x < xEnd; ++x, out += 2) {
            PutU16(out, words[row[x]]);
        }
    }
}

}  // namespace

void WriteFullColorRow(const SourceImage& image, std::int32_t y, std::int32_t xBegin,
                       std::int32_t xEnd, std::uint8_t* out) {
    WriteFullColorRowWith(image, PaletteWords(image), y, xBegin, xEnd, out);
}

bool FitsIndex16(const SourceImage& image) {
    const std::uint8_t* pixels = image.indexPixels;
    const std::uint64_t total = PixelCount(image);
    std::uint8_t high = 0;
    for (std::uint64_t i = 0; i < total; ++i) {
        high |= pixels[i];
    }
    return high < 16;
}

bool EmitTileImage(const SourceImage& image, TargetFormat format, std::span<std::uint8_t> scratch,
                   const ByteSink& sink) {
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
    WriteHeader(image, format, header);
    std::uint8_t palette[2 * 256];
    const std::size_t paletteBytes = 2 * PaletteEntries(format);
    WritePaletteBlock(image, PaletteEntries(format), palette);
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
    if (format == TargetFormat::FullColor16) {
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
                WriteFullColorRowWith(image, words, y, x, end, buffer + used);
                used += bytes;
            }
        }
        return flush();
    }

    const bool four = format == TargetFormat::Index16;
    const std::size_t tileBytes = four ? kTile4Bytes : kTile8Bytes;
    for (std::int32_t y0 = 0; y0 < image.height; y0 += 8) {
        for (std::int32_t x0 = 0; x0 < image.width; x0 += 8) {
            if (!reserve(tileBytes)) {
                return false;
            }
            if (four) {
                WriteTile4(image, x0, y0, buffer + used);
            } else {
                WriteTile8(image, x0, y0, buffer + used);
            }
            used += tileBytes;
        }
    }
    return flush();
}

std::vector<std::uint8_t> EncodeTileImage(const SourceImage& image, TargetFormat format) {
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
