// The converter as the browser page calls it. A run is bmp2tvx's own: RunConversion with the
// arguments its command line would have, on the picture saved in the module's in-memory file
// system. The page collects the lines the run prints (Module.print and Module.printErr receive
// standard output and standard error) and gets back the file it wrote, drawn by tvx2png's renderer.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bmp_reader.h"
#include "pixels.h"
#include "run.h"
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
};
static_assert(sizeof(WebResult) == 9 * 4, "the page reads nine 32-bit words");

struct LastRun {
    std::string outputName;
    std::vector<std::uint8_t> output;
    std::vector<std::uint8_t> rgba;
    std::vector<std::uint8_t> palette;
    WebResult result;
};
LastRun last;

// Every run happens in this folder, which holds nothing else: the file a run leaves beside the
// picture is the one it wrote, under whatever name bmp2tvx gave it.
constexpr char kFolder[] = "/pictures";

// The whole of a file, read through the system layer as every other reader does.
std::vector<std::uint8_t> ReadWholeFile(const std::string& name) {
    std::vector<std::uint8_t> bytes;
    InputFile file;
    if (!OpenInputFile(name, file)) {
        return bytes;
    }
    bytes.resize(static_cast<std::size_t>(file.size));
    std::uint64_t got = 0;
    ReadInputFileAt(file, 0, bytes.data(), file.size, got);
    bytes.resize(static_cast<std::size_t>(got));
    CloseInputFile(file);
    return bytes;
}

// Keeps the file the run wrote beside `input`, if any, and empties the folder.
void CollectOutput(const std::string& input) {
    std::vector<std::string> names;
    if (DIR* folder = ::opendir(".")) {
        while (const dirent* entry = ::readdir(folder)) {
            names.emplace_back(entry->d_name);
        }
        ::closedir(folder);
    }
    for (const std::string& name : names) {
        if (name == "." || name == "..") {
            continue;
        }
        if (name != input) {
            last.outputName = name;
            last.output = ReadWholeFile(name);
        }
        ::unlink(name.c_str());
    }
}

// The palette's colours as the renderer draws them: RenderRgba on a strip of one-colour tiles,
// one tile per entry, of which the first pixel is kept.
std::vector<std::uint8_t> DrawPalette(const TileImageView& image) {
    const std::size_t entries = PaletteEntries(image.format);
    std::vector<std::uint8_t> words(2 * PaletteEntries(TileImageFormat::Index256));
    std::copy(image.palette.begin(), image.palette.end(), words.begin());
    std::vector<std::uint8_t> tiles(entries * kTile8Bytes);
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        tiles[i] = static_cast<std::uint8_t>(i / kTile8Bytes);
    }
    const TileImageView strip{TileImageFormat::Index256, static_cast<std::uint32_t>(entries), 1,
                              words, tiles};
    const std::vector<std::uint8_t> drawn = RenderRgba(strip);
    std::vector<std::uint8_t> colors(4 * entries);
    for (std::size_t i = 0; i < entries; ++i) {
        std::copy_n(&drawn[4 * kTileSide * i], 4, &colors[4 * i]);
    }
    return colors;
}

}  // namespace
}  // namespace bmp2tvx

using namespace bmp2tvx;

// Runs bmp2tvx with `count` arguments, given back to back as NUL-terminated strings (the
// program's name first, the picture's file name last), on the `size` bytes of `picture`.
extern "C" const WebResult* web_convert(const char* arguments, int count,
                                        const std::uint8_t* picture, std::size_t size) {
    std::vector<const char*> argv;
    for (int i = 0; i < count; ++i, arguments += std::strlen(arguments) + 1) {
        argv.push_back(arguments);
    }
    last = LastRun{};
    if (argv.size() < 2) {
        return &last.result;
    }
    ::mkdir(kFolder, 0777);
    ::chdir(kFolder);
    const std::string input = argv.back();
    if (FILE* file = std::fopen(input.c_str(), "wb")) {
        std::fwrite(picture, 1, size, file);
        std::fclose(file);
    }
    last.result.status = RunConversion(count, argv.data());
    std::fflush(stdout);
    std::fflush(stderr);
    CollectOutput(input);

    WebResult& result = last.result;
    TileImageView view;
    if (!last.output.empty() && ParseTileImage(last.outputName.c_str(), last.output, view)) {
        last.rgba = RenderRgba(view);
        last.palette = DrawPalette(view);
        result.width = view.tilesAcross * static_cast<std::uint32_t>(kTileSide);
        result.height = view.tilesDown * static_cast<std::uint32_t>(kTileSide);
        result.paletteEntries = static_cast<std::uint32_t>(last.palette.size() / 4);
    }
    result.outputName = last.outputName.c_str();
    result.output = last.output.data();
    result.outputSize = static_cast<std::uint32_t>(last.output.size());
    result.rgba = last.rgba.data();
    result.paletteRgba = last.palette.data();
    return &result;
}

// The picture's own colour at column x, row y from the top, as 0xRRGGBB: an 8-bit picture's
// colour-table entry, a 24-bit picture's blue, green and red bytes. -1 when the file does not
// load or the point lies outside it.
extern "C" std::int32_t web_source_color(const std::uint8_t* bmp, std::size_t size, std::int32_t x,
                                         std::int32_t y) {
    SourceImage image;
    if (!LoadBitmapFromMemory("picture", bmp, size, image) || x < 0 || y < 0 || x >= image.width ||
        y >= image.height) {
        return -1;
    }
    ColorEntry color;
    VisitBands(image, [&](const Band& band) {
        if (y >= band.y0 + 8) {
            return true;
        }
        const std::uint8_t* row = band.top + (y - band.y0) * band.down;
        color = image.isFullColor ? ColorEntry{row[3 * x], row[3 * x + 1], row[3 * x + 2]}
                                  : image.colorTable[row[x]];
        return false;
    });
    return (color.red << 16) | (color.green << 8) | color.blue;
}
