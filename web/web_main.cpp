// The converter as the browser page calls it. A run is bmp2tvx's own: RunConversion with the
// arguments its command line would have, on the picture saved in the module's in-memory file
// system. The page collects the lines the run prints (Module.print and Module.printErr receive
// standard output and standard error) and gets back the file it wrote, drawn by tvx2png's renderer:
// a background's two files (--map) as the whole background, a sprite sheet's (--frame) as the
// column of frames the file holds, which the page cuts into frames.
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "picture_reader.h"
#include "pixels.h"
#include "run.h"
#include "settings.h"
#include "system.h"
#include "tile_reader.h"

namespace bmp2tvx {
namespace {

// What the page reads after a run: 32-bit words (pointers are 32 bits here) at the address
// web_convert returns. The buffers stay until the next run.
struct WebResult {
    std::int32_t status = 1;  // bmp2tvx's exit status
    const char* outputName = "";
    const std::uint8_t* output = nullptr;  // the file the run wrote, byte for byte
    std::uint32_t outputSize = 0;
    std::uint32_t width = 0;  // the picture as drawn: width x height RGBA pixels, top row first
    std::uint32_t height = 0;
    const std::uint8_t* rgba = nullptr;
    std::uint32_t paletteEntries = 0;
    const std::uint8_t* paletteRgba = nullptr;  // each palette entry as drawn, RGBA
    // A background: the map file beside the tiles, byte for byte; the drawing is the whole
    // background, and the palette the map's banks when it has any, 16 entries each.
    const char* mapName = "";
    const std::uint8_t* map = nullptr;
    std::uint32_t mapSize = 0;
    std::uint32_t tiles = 0;  // the tiles the tile image file holds: a background's distinct ones
    std::uint32_t banks = 0;
    // A sprite sheet's frame size, as the run read it from --frame; 0 by 0 without.
    std::uint32_t frameWidth = 0;
    std::uint32_t frameHeight = 0;
};
static_assert(sizeof(WebResult) == 16 * 4, "the page reads sixteen 32-bit words");

struct LastRun {
    std::string outputName;
    std::string mapName;
    Storage output;
    Storage map;
    std::vector<std::uint8_t> rgba;
    std::vector<std::uint8_t> palette;
    WebResult result;
};
LastRun last;

// Puts `size` bytes at `path` in the module's in-memory file system.
void SaveFile(const std::string& path, const std::uint8_t* bytes, std::size_t size) {
    OutputFile file;
    OpenOutputFile(path, file);
    WriteOutputFile(file, std::span<const std::uint8_t>(bytes, size));
    CommitOutputFile(file);
}

// The colour words `words` as the display shows them, the palette the page lists.
void KeepPalette(std::span<const std::uint8_t> words) {
    last.palette.clear();
    for (const ColorEntry& c : PaletteColors(words)) {
        last.palette.insert(last.palette.end(), {c.red, c.green, c.blue, 255});
    }
    last.result.paletteEntries = static_cast<std::uint32_t>(last.palette.size() / 4);
}

// Reads back the file the run wrote at `name`, with `read`, into `bytes` and `view`: its size, or
// nothing when it cannot be read.
template <class View>
std::optional<std::uint32_t> ReadBack(const std::string& name, Storage& bytes, View& view,
                                      bool (*read)(const InputFile&, Storage&, View&)) {
    InputFile file;
    if (!OpenInputFile(name, file) || !read(file, bytes, view)) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(file.size);
}

// Keeps the picture the page shows, `across` by `down` tiles of RGBA pixels.
void KeepDrawing(std::vector<std::uint8_t> rgba, std::uint32_t across, std::uint32_t down) {
    last.rgba = std::move(rgba);
    last.result.width = across * static_cast<std::uint32_t>(kTileSide);
    last.result.height = down * static_cast<std::uint32_t>(kTileSide);
}

// Keeps the map file the run wrote at `mapName` beside `tiles`, and draws the background from the
// two as tvx2png does, with the bases the map was made with.
void CollectMap(const std::string& mapName, const TileImageView& tiles,
                const ConversionSettings& settings) {
    MapView map;
    const std::optional<std::uint32_t> size = ReadBack(mapName, last.map, map, ReadMapFile);
    if (!size) {
        return;
    }
    last.mapName = mapName;
    last.result.mapSize = *size;
    last.result.banks = static_cast<std::uint32_t>(map.banks.size() / 32);
    if (!map.banks.empty()) {
        KeepPalette(map.banks);
    }
    std::vector<std::uint8_t> rgba(BackgroundRgbaBytes(map));
    const std::uint32_t tileBase = static_cast<std::uint32_t>(settings.tileBase.value_or(0));
    const std::uint32_t bankBase = static_cast<std::uint32_t>(settings.bankBase.value_or(0));
    if (RenderBackground(tiles, map, tileBase, bankBase, rgba.data()) ==
        std::size_t{map.tilesAcross} * map.tilesDown) {
        KeepDrawing(std::move(rgba), map.tilesAcross, map.tilesDown);
    }
}

// Keeps the tile image file the run wrote at `outputName`, and draws it with its palette; a
// background's map beside it, at `mapName`, replaces the drawing with the whole background.
void CollectOutput(const std::string& outputName, const std::optional<std::string>& mapName,
                   const ConversionSettings& settings) {
    TileImageView view;
    const std::optional<std::uint32_t> size =
        ReadBack(outputName, last.output, view, ReadTileImageFile);
    if (!size) {
        return;
    }
    last.outputName = outputName;
    last.result.outputSize = *size;
    last.result.tiles = view.tilesAcross * view.tilesDown;
    KeepPalette(view.palette);
    if (mapName) {
        CollectMap(*mapName, view, settings);
        return;
    }
    KeepDrawing(RenderRgba(view), view.tilesAcross, view.tilesDown);
    if (settings.frame) {
        last.result.frameWidth = static_cast<std::uint32_t>(settings.frame->width);
        last.result.frameHeight = static_cast<std::uint32_t>(settings.frame->height);
    }
}

}  // namespace
}  // namespace bmp2tvx

using namespace bmp2tvx;

// Runs bmp2tvx with `count` arguments, given back to back as NUL-terminated strings (the
// program's name first, the picture's file name last), on the `size` bytes of `picture`; the
// `paletteSize` bytes of `palette` are the file that a --palette=FILE argument names.
extern "C" const WebResult* web_convert(const char* arguments, int count,
                                        const std::uint8_t* picture, std::size_t size,
                                        const std::uint8_t* palette, std::size_t paletteSize) {
    std::vector<const char*> argv;
    for (int i = 0; i < count; ++i, arguments += std::strlen(arguments) + 1) {
        argv.push_back(arguments);
    }
    last = LastRun{};
    if (argv.size() < 2) {
        return &last.result;
    }
    // The palette file and the picture are saved in the current folder under their own names, as
    // bmp2tvx would find them on a disk, and every file goes once the run is over.
    ConversionSettings settings;
    for (const char* argument : argv) {
        ParseFlag(settings, argument);
    }
    const std::string paletteName = settings.palette.value_or("");
    if (!paletteName.empty()) {
        SaveFile(paletteName, palette, paletteSize);
    }
    const std::string input = argv.back();
    SaveFile(input, picture, size);
    last.result.status = RunConversion(count, argv.data());
    const std::optional<std::string> outputName =
        settings.output ? settings.output : MakeOutputPath(input);
    const std::optional<std::string> mapName =
        settings.map != MapKind::None && outputName ? MapPathOf(*outputName) : std::nullopt;
    if (last.result.status == 0 && outputName && IsRegularFile(*outputName)) {
        CollectOutput(*outputName, mapName, settings);
        RemoveFile(*outputName);
        if (mapName) {
            RemoveFile(*mapName);
        }
    }
    RemoveFile(input);
    if (!paletteName.empty()) {
        RemoveFile(paletteName);
    }
    last.result.outputName = last.outputName.c_str();
    last.result.output = last.output.get();
    last.result.mapName = last.mapName.c_str();
    last.result.map = last.map.get();
    last.result.rgba = last.rgba.data();
    last.result.paletteRgba = last.palette.data();
    return &last.result;
}

// The picture's own colour at column x, row y from the top, as 0xRRGGBB: an indexed picture's
// colour-table entry, a true-colour picture's blue, green and red bytes. In a sprite sheet of
// frames `frameWidth` x `frameHeight` the point is one of frame `frame`, the frames counted in
// reading order as the file holds them; a frame width of 0 takes the point in the whole picture.
// -1 when the file does not load or the point lies outside it.
extern "C" std::int32_t web_source_color(const std::uint8_t* file, std::size_t size, std::int32_t x,
                                         std::int32_t y, std::int32_t frameWidth,
                                         std::int32_t frameHeight, std::int32_t frame) {
    SourceImage image;
    if (!LoadPicture(FileInMemory("picture", std::vector<std::uint8_t>(file, file + size)),
                     image)) {
        return -1;
    }
    if (frameWidth > 0 && frameWidth <= image.picture.width) {
        const std::int32_t across = image.picture.width / frameWidth;
        x += frame % across * frameWidth;
        y += frame / across * frameHeight;
    }
    if (x < 0 || y < 0 || x >= image.picture.width || y >= image.picture.height) {
        return -1;
    }
    const auto* indexed = std::get_if<IndexedPicture>(&image.picture.colors);
    const auto bytesPerPixel = static_cast<std::ptrdiff_t>(BytesPerPixel(image.picture));
    ColorEntry color;
    VisitBands(image, [&](const Strip& band) {
        if (y >= band.y0 + band.count) {
            return true;
        }
        const std::uint8_t* pixel = band.top + (y - band.y0) * band.down + x * bytesPerPixel;
        color = indexed != nullptr ? indexed->table[pixel[0]]
                                   : ColorEntry{pixel[0], pixel[1], pixel[2]};
        return false;
    });
    return (color.red << 16) | (color.green << 8) | color.blue;
}
