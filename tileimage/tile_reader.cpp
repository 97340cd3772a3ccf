#include "tileimage/tile_reader.h"

#include "system/system.h"

namespace bmp2tvx {
namespace {

void Report(const char* format, const char* path) {
    PrintError(format, path);
}

// One colour word as red, green, blue, alpha bytes.
void PutRgba(std::uint8_t* out, Color15 word, std::uint8_t alpha) {
    const auto widen = [](unsigned c) { return static_cast<std::uint8_t>((c << 3) | (c >> 2)); };
    out[0] = widen(word & 0x1F);
    out[1] = widen((word >> 5) & 0x1F);
    out[2] = widen((word >> 10) & 0x1F);
    out[3] = alpha;
}

}  // namespace

bool ParseTileImage(const char* path, std::span<const std::uint8_t> bytes, TileImageView& view) {
    if (bytes.size() < kTileImageHeaderSize) {
        Report("%s is too short to be a tile image file.\n", path);
        return false;
    }
    const std::uint16_t code = GetU16(bytes.data());
    if (code > static_cast<std::uint16_t>(TargetFormat::FullColor16)) {
        Report("%s is not a tile image file: its format code is unknown.\n", path);
        return false;
    }
    view.format = static_cast<TargetFormat>(code);
    view.tilesAcross = GetU16(bytes.data() + 2);
    view.tilesDown = GetU16(bytes.data() + 4);
    const std::uint16_t tileCount = GetU16(bytes.data() + 6);
    const std::uint64_t expected =
        TileImageFileSize(view.format, std::uint64_t{view.tilesAcross} * kTileSide,
                          std::uint64_t{view.tilesDown} * kTileSide);
    if (bytes.size() != expected ||
        tileCount != static_cast<std::uint16_t>(view.tilesAcross * view.tilesDown)) {
        Report("%s does not have the length its tile image header announces.\n", path);
        return false;
    }
    const std::size_t paletteBytes = 2 * PaletteEntries(view.format);
    view.palette = bytes.subspan(kTileImageHeaderSize, paletteBytes);
    view.body = bytes.subspan(kTileImageHeaderSize + paletteBytes);
    return true;
}

std::vector<std::uint8_t> RenderRgba(const TileImageView& view) {
    const std::size_t width = std::size_t{view.tilesAcross} * kTileSide;
    const std::size_t height = std::size_t{view.tilesDown} * kTileSide;
    std::vector<std::uint8_t> rgba(width * height * 4);
    const std::uint8_t* body = view.body.data();
    if (view.format == TargetFormat::FullColor16) {
        for (std::size_t i = 0; i < width * height; ++i) {
            PutRgba(&rgba[4 * i], GetU16(body + 2 * i), 255);
        }
        return rgba;
    }
    const bool four = view.format == TargetFormat::Index16;
    const std::size_t tileBytes = four ? kTile4Bytes : kTile8Bytes;
    std::size_t tile = 0;
    for (std::size_t y0 = 0; y0 < height; y0 += kTileSide) {
        for (std::size_t x0 = 0; x0 < width; x0 += kTileSide, ++tile) {
            const std::uint8_t* bytes = body + tile * tileBytes;
            for (std::size_t r = 0; r < kTileSide; ++r) {
                for (std::size_t c = 0; c < kTileSide; ++c) {
                    const std::uint8_t index =
                        four ? static_cast<std::uint8_t>((bytes[r * 4 + c / 2] >> (4 * (c % 2))) &
                                                         0xF)
                             : bytes[r * 8 + c];
                    PutRgba(&rgba[4 * ((y0 + r) * width + x0 + c)],
                            GetU16(view.palette.data() + 2 * index), index == 0 ? 0 : 255);
                }
            }
        }
    }
    return rgba;
}

}  // namespace bmp2tvx
