// tvx2png: draws a tile image file as the handheld shows it, as a PNG or a BMP.
//
//   tvx2png IN.tvx [OUT.png|OUT.bmp]    OUT defaults to IN with ".png" appended
//   tvx2png --palette-out=FILE IN.tvx [OUT.png|OUT.bmp]
//                                       the palette as a GIMP (.gpl) or JASC (.pal) file; the
//                                       picture only when OUT is given
//   tvx2png --map=FILE|none --tile-base=N --bank-base=N IN.tvx [OUT.png|OUT.bmp]
//                                       a background: the tiles placed as the map file says (by
//                                       default IN with its last three bytes "tvm", when it is
//                                       there)
//   tvx2png --help | --version
#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bmp_writer.h"
#include "map_file.h"
#include "messages.h"
#include "options.h"
#include "palette_file.h"
#include "png_writer.h"
#include "system.h"
#include "tile_reader.h"

namespace bmp2tvx {
namespace {

bool EndsWith(const std::string& text, std::string_view end) {
    return text.size() >= end.size() &&
           std::equal(
               end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()),
               [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

// The tile image file's palette as a GIMP (.gpl) or JASC (.pal) palette file at `path`, its
// colours as the display shows them, so that bmp2tvx --palette reads back the very same words.
bool WritePaletteFile(const TileImageView& view, const std::string& input,
                      const std::string& path) {
    if (view.format == TargetFormat::FullColor16) {
        Report(Message::NoPaletteToWrite, {input});
        return false;
    }
    const std::vector<ColorEntry> colors = PaletteColors(view.palette);
    const bool gimp = EndsWith(path, ".gpl");
    const std::string text = PaletteFileText(colors, gimp, input);
    Report(Message::PaletteSummary, {path, gimp ? "GIMP" : "JASC", colors.size()});
    OutputFile file;
    OpenOutputFile(path, file);
    WriteOutputFile(file, std::span<const std::uint8_t>(
                              reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    return CommitOutputFile(file);
}

// What the command line asks.
struct PreviewRequest {
    std::vector<std::string> names;  // IN.tvx, then OUT if given
    std::optional<std::string> paletteOut;
    std::optional<std::string> map;  // --map=FILE; "none" draws the tiles alone
    std::uint32_t tileBase = 0;
    std::uint32_t bankBase = 0;
};

// Reads the command line into `request`; false, its line printed, when an option is refused.
// --help and --version, which alone were questions, are names like any other here.
bool ReadArguments(int argc, const char* const* argv, PreviewRequest& request) {
    static constexpr LongOption kOptions[] = {
        {"help", "--help", TakesNoValue},
        {"version", "--version", TakesNoValue},
        {"palette-out", "--palette-out=FILE", TakesFileName},
        {"map", "--map=FILE or --map=none", TakesFileName},
        {"tile-base", "--tile-base=N (N from 0 to 1023)", TakesTileBase},
        {"bank-base", "--bank-base=N (N from 0 to 15)", TakesBankBase},
    };
    for (int i = 1; i < argc; ++i) {
        OptionMatch match;
        std::optional<Notice> refusal;
        const OptionKind kind = ReadLongOption(argv[i], kOptions, "tvx2png", match, refusal);
        const std::string_view name = match.option ? match.option->name : "";
        if (kind == OptionKind::Refused) {
            Report(*refusal);
            return false;
        } else if (kind == OptionKind::NotAnOption || name == "help" || name == "version") {
            request.names.emplace_back(argv[i]);
        } else if (name == "palette-out" || name == "map") {
            (name == "map" ? request.map : request.paletteOut) = std::string(match.value);
        } else {
            (name == "tile-base" ? request.tileBase : request.bankBase) =
                static_cast<std::uint32_t>(*ParseDecimal(match.value, 1023));
        }
    }
    return true;
}

// The map drawn with the tiles: --map's file, or else the input's path with its last three bytes
// "tvm" when that file is there; none with --map=none.
std::optional<std::string> MapPathFor(const PreviewRequest& request) {
    const std::string& input = request.names[0];
    if (request.map) {
        return *request.map == "none" ? std::nullopt : request.map;
    }
    const std::optional<std::string> beside = MapPathOf(input);
    return beside && *beside != input && IsRegularFile(*beside) ? beside : std::nullopt;
}

// `rgba`, `width` x `height` pixels, as a PNG, or as a 32-bit BMP when the name ends in .bmp.
bool WritePicture(const std::string& path, std::uint32_t width, std::uint32_t height,
                  const std::uint8_t* rgba) {
    return EndsWith(path, ".bmp") ? WriteBmp(path, width, height, rgba)
                                  : WritePng(path, width, height, rgba);
}

bool DrawPicture(const TileImageView& view, const std::string& input, const std::string& path) {
    if (view.tilesAcross == 0 || view.tilesDown == 0) {
        Report(Message::NoPixels, {input});
        return false;
    }
    const std::uint32_t width = view.tilesAcross * 8;
    const std::uint32_t height = view.tilesDown * 8;
    Report(Message::PreviewSummary,
           {path, TargetFormatName(view.format), width, height, view.tilesAcross, view.tilesDown});
    const std::vector<std::uint8_t> rgba = RenderRgba(view);
    return WritePicture(path, width, height, rgba.data());
}

// The whole background, the tiles placed as the map at `mapPath` says.
bool DrawBackground(const TileImageView& tiles, const PreviewRequest& request,
                    const std::string& mapPath, const std::string& path) {
    InputFile file;
    Storage bytes;
    MapView map;
    if (!OpenInputFile(mapPath, file)) {
        return false;
    }
    if (IsSameFile(file, path)) {
        Report(Message::SameFileAsOutput, {mapPath, path});
        return false;
    }
    if (!ReadMapFile(file, bytes, map)) {
        return false;
    }
    if (map.tilesAcross == 0 || map.tilesDown == 0) {
        Report(Message::NoPixels, {mapPath});
        return false;
    }
    const Storage rgba = AllocateStorage(BackgroundRgbaBytes(map));
    if (!rgba) {
        Report(Message::NoMemoryToLoad, {mapPath});
        return false;
    }
    const std::size_t cells = std::size_t{map.tilesAcross} * map.tilesDown;
    const std::size_t drawn =
        RenderBackground(tiles, map, request.tileBase, request.bankBase, rgba.get());
    if (drawn != cells) {
        Report(Message::MapDoesNotFit,
               {mapPath, request.names[0], drawn % map.tilesAcross * 8, drawn / map.tilesAcross * 8,
                request.tileBase, request.bankBase});
        return false;
    }
    Report(Message::PreviewSummary, {path, TargetFormatName(tiles.format), map.tilesAcross * 8,
                                     map.tilesDown * 8, map.tilesAcross, map.tilesDown});
    return WritePicture(path, map.tilesAcross * 8, map.tilesDown * 8, rgba.get());
}

int DrawTileImage(int argc, const char* const* argv) {
    if (argc == 2 && std::string_view(argv[1]) == "--help") {
        Report(Message::PreviewHelp);
        return 0;
    }
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        Report(Message::PreviewVersion, {BMP2TVX_VERSION});
        return 0;
    }
    PreviewRequest request;
    if (!ReadArguments(argc, argv, request)) {
        return 1;
    }
    const std::vector<std::string>& names = request.names;
    if (names.empty() || names.size() > 2) {
        Report(Message::PreviewUsage);
        return argc < 2 ? 0 : 1;
    }
    const std::optional<std::string>& paletteOut = request.paletteOut;
    if (paletteOut && !EndsWith(*paletteOut, ".gpl") && !EndsWith(*paletteOut, ".pal")) {
        Report(Message::PaletteOutKind, {*paletteOut});
        return 1;
    }
    const std::optional<std::string> picturePath = names.size() == 2 ? std::optional(names[1])
                                                   : paletteOut      ? std::nullopt
                                                                : std::optional(names[0] + ".png");
    if (picturePath && !EndsWith(*picturePath, ".png") && !EndsWith(*picturePath, ".bmp")) {
        Report(Message::PictureOutKind, {*picturePath});
        return 1;
    }
    InputFile file;
    Storage bytes;
    TileImageView view;
    if (!OpenInputFile(names[0], file) || !ReadTileImageFile(file, bytes, view)) {
        return 1;
    }
    // No output may replace the file it is drawn from, under whatever name.
    for (const std::optional<std::string>& output : {paletteOut, picturePath}) {
        if (output && IsSameFile(file, *output)) {
            Report(Message::SameFileAsOutput, {names[0], *output});
            return 1;
        }
    }
    const std::optional<std::string> map = picturePath ? MapPathFor(request) : std::nullopt;
    const bool palette = !paletteOut || WritePaletteFile(view, names[0], *paletteOut);
    return palette && (!picturePath || (map ? DrawBackground(view, request, *map, *picturePath)
                                            : DrawPicture(view, names[0], *picturePath)))
               ? 0
               : 1;
}

}  // namespace
}  // namespace bmp2tvx

int main(int argc, char** argv) {
    return bmp2tvx::RunProgram(argc, argv, bmp2tvx::DrawTileImage);
}
