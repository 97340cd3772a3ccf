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

std::vector<ColorEntry> PaletteColors(const TileImageView& view) {
    std::vector<ColorEntry> colors;
    for (std::size_t i = 0; i + 1 < view.palette.size(); i += 2) {
        colors.push_back(ShownColor(LoadLittle16(&view.palette[i])));
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

bool ReadTileImageFile(const InputFile& file, Storage& bytes, TileImageView& view) {
    const char* path = file.path.c_str();
    std::uint8_t head[kTileImageHeaderSize] = {};
    std::uint64_t got = 0;
    if (!ReadInputFileAt(file, 0, head, sizeof head, got)) {
        return false;
    }
    if (const std::optional<Message> problem =
            HeaderProblem(head, got < sizeof head ? got : file.size, view)) {
        Report(*problem, {path});
        return false;
    }
    bytes = AllocateStorage(file.size);
    if (!bytes) {
        Report(Message::NoMemoryToLoad, {path});
        return false;
    }
    std::uint64_t read = 0;
    if (!ReadInputFileAt(file, 0, bytes.get(), file.size, read)) {
        return false;
    }
    if (read != file.size) {  // the file shrank while we read it
        Report(Message::WrongLength, {path});
        return false;
    }
    PointInto(std::span<const std::uint8_t>(bytes.get(), file.size), view);
    return true;
}

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
                    const std::array<std::uint8_t, 4> color = ColorWordToRgba(
                        LoadLittle16(view.palette.data() + 2 * index), index == 0 ? 0 : 255);
                    std::copy(color.begin(), color.end(), &rgba[4 * ((y0 + r) * width + x0 + c)]);
                }
            }
        }
    }
    return rgba;
}

}  // namespace bmp2tvx
