// tvx2png: draws a tile image file as the handheld shows it, as a PNG or a BMP.
//
//   tvx2png IN.tvx [OUT.png|OUT.bmp]    OUT defaults to IN with ".png" appended
//   tvx2png --palette-out=FILE IN.tvx [OUT.png|OUT.bmp]
//                                       the palette as a GIMP (.gpl) or JASC (.pal) file; the
//                                       picture only when OUT is given
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
    const std::vector<ColorEntry> colors = PaletteColors(view);
    const bool gimp = EndsWith(path, ".gpl");
    const std::string text = PaletteFileText(colors, gimp, input);
    Report(Message::PaletteSummary, {path, gimp ? "GIMP" : "JASC", colors.size()});
    OutputFile file;
    OpenOutputFile(path, file);
    WriteOutputFile(file, std::span<const std::uint8_t>(
                              reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    return CommitOutputFile(file);
}

// The picture as a PNG, or as a 32-bit BMP when its name ends in .bmp.
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
    return EndsWith(path, ".bmp") ? WriteBmp(path, width, height, rgba.data())
                                  : WritePng(path, width, height, rgba.data());
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
    // --palette-out=FILE anywhere; the other arguments are IN.tvx and OUT. Alone, --help and
    // --version were questions; elsewhere they are names like others.
    static constexpr LongOption kOptions[] = {
        {"help", "--help", TakesNoValue},
        {"version", "--version", TakesNoValue},
        {"palette-out", "--palette-out=FILE", TakesFileName},
    };
    std::optional<std::string> paletteOut;
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        OptionMatch match;
        std::optional<Notice> refusal;
        switch (ReadLongOption(argv[i], kOptions, "tvx2png", match, refusal)) {
            case OptionKind::Refused:
                Report(*refusal);
                return 1;
            case OptionKind::Known:
                if (match.option->name == "palette-out") {
                    paletteOut = std::string(match.value);
                    break;
                }
                [[fallthrough]];
            case OptionKind::NotAnOption:
                names.emplace_back(argv[i]);
                break;
        }
    }
    if (names.empty() || names.size() > 2) {
        Report(Message::PreviewUsage);
        return argc < 2 ? 0 : 1;
    }
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
    const bool palette = !paletteOut || WritePaletteFile(view, names[0], *paletteOut);
    return palette && (!picturePath || DrawPicture(view, names[0], *picturePath)) ? 0 : 1;
}

}  // namespace
}  // namespace bmp2tvx

int main(int argc, char** argv) {
    return bmp2tvx::RunProgram(argc, argv, bmp2tvx::DrawTileImage);
}
