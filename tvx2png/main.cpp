// tvx2png: draws a tile image file as the handheld shows it, as a PNG.
//
//   tvx2png IN.tvx [OUT.png]      OUT defaults to IN with ".png" appended
//   tvx2png --help | --version
#include <string>
#include <string_view>
#include <vector>

#include "messages.h"
#include "png_writer.h"
#include "system.h"
#include "tile_reader.h"

namespace bmp2tvx {
namespace {

int DrawTileImage(int argc, const char* const* argv) {
    if (argc == 2 && std::string_view(argv[1]) == "--help") {
        Report(Message::PreviewHelp);
        return 0;
    }
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        Report(Message::PreviewVersion, {BMP2TVX_VERSION});
        return 0;
    }
    if (argc < 2 || argc > 3) {
        Report(Message::PreviewUsage);
        return argc < 2 ? 0 : 1;
    }
    const char* inputPath = argv[1];
    const std::string outputPath = argc == 3 ? argv[2] : std::string(inputPath) + ".png";

    InputFile file;
    if (!OpenInputFile(inputPath, file)) {
        return 1;
    }
    Storage bytes;
    TileImageView view;
    if (!ReadTileImageFile(file, bytes, view)) {
        return 1;
    }
    // The PNG must not replace the file it is drawn from, under whatever name.
    if (IsSameFile(file, outputPath)) {
        Report(Message::SameFileAsOutput, {inputPath, outputPath});
        return 1;
    }
    if (view.tilesAcross == 0 || view.tilesDown == 0) {
        Report(Message::NoPixels, {inputPath});
        return 1;
    }
    const std::uint32_t width = view.tilesAcross * 8;
    const std::uint32_t height = view.tilesDown * 8;
    Report(Message::PreviewSummary, {outputPath, TargetFormatName(view.format), width, height,
                                     view.tilesAcross, view.tilesDown});
    const std::vector<std::uint8_t> rgba = RenderRgba(view);
    return WritePng(outputPath, width, height, rgba.data()) ? 0 : 1;
}

}  // namespace
}  // namespace bmp2tvx

int main(int argc, char** argv) {
    return bmp2tvx::RunProgram(argc, argv, bmp2tvx::DrawTileImage);
}
