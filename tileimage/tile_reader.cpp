#include "tile_reader.h"

#include <algorithm>
#include <optional>

#include "messages.h"
#include "system.h"

namespace bmp2tvx {
namespace {

// The problem with a file of `size` bytes whose first bytes are `head`, or nothing if none.
std::optional<Message> HeaderProblem(const std::uint8_t* head, std::uint64_t size,
                                     TileImageView& view) {
    if (size < kTileImageHeaderSize) {
        return Message::TooShortForTileImage;
    }
    const TileImageHeader header = GetTileImageHeader(head);
    if (!IsKnownFormat(header.formatCode)) {
        return Message::UnknownFormat;
    }
    view.format = static_cast<TargetFormat>(header.formatCode);
    view.tilesAcross = header.tilesAcross;
    view.tilesDown = header.tilesDown;
    const TileImageHeader expected =
        MakeTileImageHeader(view.format, view.tilesAcross * kTileSide, view.tilesDown * kTileSide);
    if (size != TileImageFileSize(view.format, std::uint64_t{view.tilesAcross} * kTileSide,
                                  std::uint64_t{view.tilesDown} * kTileSide) ||
        header.tileCount != expected.tileCount) {
        return Message::WrongLength;
    }
    return std::nullopt;
}

void PointInto(std::span<const std::uint8_t> bytes, TileImageView& view) {
    const std::size_t paletteBytes = 2 * PaletteEntries(view.format);
    view.palette = bytes.subspan(kTileImageHeaderSize, paletteBytes);
    view.body = bytes.subspan(kTileImageHeaderSize + paletteBytes);
}

}  // namespace

std::array<std::uint8_t, 4> ColorWordToRgba(Color15 word, std::uint8_t alpha) {
    const ColorEntry shown = ShownColor(word);
    return {shown.red, shown.green, shown.blue, alpha};
}

std::vector<ColorEntry> PaletteColors(std::span<const std::uint8_t> words) {
    std::vector<ColorEntry> colors;
    for (std::size_t i = 0; i + 1 < words.size(); i += 2) {
        colors.push_back(ShownColor(LoadLittle16(&words[i])));
    }
    return colors;
}

bool IsTileImage(const std::uint8_t* head, std::uint64_t size) {
    TileImageView view;
    return !HeaderProblem(head, size, view).has_value();
}

bool ParseTileImage(const char* path, std::span<const std::uint8_t> bytes, TileImageView& view) {
    if (const std::optional<Message> problem = HeaderProblem(bytes.data(), bytes.size(), view)) {
        Report(*problem, {path});
        return false;
    }
    PointInto(bytes, view);
    return true;
}

namespace {

// The whole of an open file whose header has been found to announce its length; `problem` is
// told when it has changed length since.
bool ReadWholeFile(const InputFile& file, Storage& bytes, Message problem) {
    bytes = AllocateStorage(file.size);
    if (!bytes) {
        Report(Message::NoMemoryToLoad, {file.path});
        return false;
    }
    std::uint64_t read = 0;
    if (!ReadInputFileAt(file, 0, bytes.get(), file.size, read)) {
        return false;
    }
    if (read != file.size) {  // the file shrank while we read it
        Report(problem, {file.path});
        return false;
    }
    return true;
}

}  // namespace

bool ReadTileImageFile(const InputFile& file, Storage& bytes, TileImageView& view) {
    std::uint8_t head[kTileImageHeaderSize] = {};
    std::uint64_t got = 0;
    if (!ReadInputFileAt(file, 0, head, sizeof head, got)) {
        return false;
    }
    if (const std::optional<Message> problem =
            HeaderProblem(head, got < sizeof head ? got : file.size, view)) {
        Report(*problem, {file.path});
        return false;
    }
    if (!ReadWholeFile(file, bytes, Message::WrongLength)) {
        return false;
    }
    PointInto(std::span<const std::uint8_t>(bytes.get(), file.size), view);
    return true;
}

bool ReadMapFile(const InputFile& file, Storage& bytes, MapView& view) {
    std::uint8_t head[kMapHeaderSize] = {};
    std::uint64_t got = 0;
    if (!ReadInputFileAt(file, 0, head, sizeof head, got)) {
        return false;
    }
    if (got < sizeof head || MapFileSize(head) != file.size) {
        Report(Message::NotAMapFile, {file.path});
        return false;
    }
    if (!ReadWholeFile(file, bytes, Message::NotAMapFile)) {
        return false;
    }
    return ReadMapView(std::span<const std::uint8_t>(bytes.get(), file.size), view);
}

namespace {

// The palette index of pixel (c, r) of tile `tile` of a paletted layout.
std::uint8_t TilePixel(const TileImageView& view, std::size_t tile, std::size_t c, std::size_t r) {
    if (view.format == TargetFormat::Index16) {
        const std::uint8_t pair = view.body[tile * kTile4Bytes + r * 4 + c / 2];
        return static_cast<std::uint8_t>((pair >> (4 * (c % 2))) & 0xF);
    }
    return view.body[tile * kTile8Bytes + r * 8 + c];
}

// A pixel of palette index `index`, through the words at `palette`: entry 0 transparent.
void PutPixel(const std::uint8_t* palette, std::uint8_t index, std::uint8_t* rgba) {
    const std::array<std::uint8_t, 4> color =
        ColorWordToRgba(LoadLittle16(palette + 2 * index), index == 0 ? 0 : 255);
    std::copy(color.begin(), color.end(), rgba);
}

}  // namespace

std::vector<std::uint8_t> RenderRgba(const TileImageView& view) {
    const std::size_t width = std::size_t{view.tilesAcross} * kTileSide;
    const std::size_t height = std::size_t{view.tilesDown} * kTileSide;
    std::vector<std::uint8_t> rgba(width * height * 4);
    const std::uint8_t* body = view.body.data();
    if (view.format == TargetFormat::FullColor16) {
        for (std::size_t i = 0; i < width * height; ++i) {
            const std::array<std::uint8_t, 4> color = ColorWordToRgba(LoadLittle16(body + 2 * i));
            std::copy(color.begin(), color.end(), &rgba[4 * i]);
        }
        return rgba;
    }
    std::size_t tile = 0;
    for (std::size_t y0 = 0; y0 < height; y0 += kTileSide) {
        for (std::size_t x0 = 0; x0 < width; x0 += kTileSide, ++tile) {
            for (std::size_t r = 0; r < kTileSide; ++r) {
                for (std::size_t c = 0; c < kTileSide; ++c) {
                    PutPixel(view.palette.data(), TilePixel(view, tile, c, r),
                             &rgba[4 * ((y0 + r) * width + x0 + c)]);
                }
            }
        }
    }
    return rgba;
}

std::uint64_t BackgroundRgbaBytes(const MapView& map) {
    return std::uint64_t{map.tilesAcross} * map.tilesDown * kTileSide * kTileSide * 4;
}

std::size_t RenderBackground(const TileImageView& tiles, const MapView& map, std::uint32_t tileBase,
                             std::uint32_t bankBase, std::uint8_t* rgba) {
    const std::size_t width = std::size_t{map.tilesAcross} * kTileSide;
    const std::size_t count = std::size_t{tiles.tilesAcross} * tiles.tilesDown;
    const std::size_t cells = std::size_t{map.tilesAcross} * map.tilesDown;
    const bool regular = map.kind == MapKind::Regular;
    const bool banked = regular && tiles.format == TargetFormat::Index16;
    for (std::size_t i = 0; i < cells; ++i) {
        const std::uint16_t entry = MapEntry(map, i);
        const std::size_t tile = (regular ? entry & 0x3FF : entry) - std::size_t{tileBase};
        const std::size_t bank = (entry >> 12) - std::size_t{bankBase};
        if (tile >= count || (banked && bank >= map.banks.size() / 32)) {
            return i;
        }
        const std::uint8_t* palette = banked ? &map.banks[32 * bank] : tiles.palette.data();
        const std::size_t x0 = i % map.tilesAcross * kTileSide,
                          y0 = i / map.tilesAcross * kTileSide;
        for (std::size_t r = 0; r < kTileSide; ++r) {
            for (std::size_t c = 0; c < kTileSide; ++c) {
                const std::size_t sc = regular && (entry & kFlipHorizontal) ? 7 - c : c;
                const std::size_t sr = regular && (entry & kFlipVertical) ? 7 - r : r;
                PutPixel(palette, TilePixel(tiles, tile, sc, sr),
                         &rgba[4 * ((y0 + r) * width + x0 + c)]);
            }
        }
    }
    return cells;
}

}  // namespace bmp2tvx
