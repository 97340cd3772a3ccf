#include "driver/run.h"

#include <cstdio>
#include <optional>
#include <string>

#include "driver/settings.h"
#include "image/bmp_reader.h"
#include "palette/color_table.h"
#include "palette/key_color.h"
#include "system/system.h"
#include "tileimage/tile_encoder.h"
#include "tileimage/tile_writer.h"

namespace bmp2tvx {
namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;

int Refuse(const char* format, const std::string& path) {
    PrintError(format, path.c_str());
    return kFailure;
}

TargetFormat ChooseTarget(const SourceImage& image, std::int32_t targetDepth) {
    switch (targetDepth) {
        case 4:
            return TargetFormat::Index16;
        case 8:
            return TargetFormat::Index256;
        case 16:
            return TargetFormat::FullColor16;
        default:
            return image.isFullColor ? TargetFormat::FullColor16 : TargetFormat::Index256;
    }
}

}  // namespace

int RunConversion(int argc, const char* const* argv) {
    if (argc <= 1) {
        PrintOut("Usage: (flags) [infile]\n");
        return kSuccess;
    }
    // Every argument, the program's name and the input path included, is offered as a flag.
    ConversionSettings settings;
    for (int i = 0; i < argc; ++i) {
        ParseFlag(settings, argv[i]);
    }
    const std::string inputPath = argv[argc - 1];

    SourceImage image;
    if (!LoadBitmap(inputPath.c_str(), image)) {
        return kFailure;
    }

    const std::optional<std::string> outputPath = MakeOutputPath(inputPath);
    if (!outputPath) {
        return Refuse("Cannot name an output file after %s: the path is shorter than 3 bytes.\n",
                      inputPath);
    }
    if (*outputPath == inputPath) {
        return Refuse("%s already ends in tvx, so its output would replace it.\n", inputPath);
    }

    // The handheld draws palette entry 0 as transparent, so the key colour goes there. A 24-bit
    // picture asked for as tiles gets an exact colour table of its own colours with the key at
    // entry 0; an 8-bit picture has its key entry moved to 0. A 4-bit palette block holds entries
    // 0 to 15 only, so for Index16 the key is looked for there.
    const SourceKind sourceKind = KindOf(image);
    const TargetFormat target = ChooseTarget(image, settings.targetDepth);
    if (image.isFullColor) {
        if (target != TargetFormat::FullColor16 &&
            !BuildColorTable(image, PaletteEntries(target), settings.keyRed, settings.keyGreen,
                             settings.keyBlue, inputPath.c_str())) {
            return kFailure;
        }
    } else {
        MoveKeyColorToZero(image, settings.keyRed, settings.keyGreen, settings.keyBlue,
                           settings.targetDepth == 4 ? 16 : 256);
    }
    if (target == TargetFormat::Index16 && !FitsIndex16(image)) {
        return Refuse("%s uses colours above 15 and cannot be written as Index16.\n", inputPath);
    }

    PrintOut("%s [%s] (%d,%d) -> [%s] (%dc,%dc)\n", outputPath->c_str(), SourceKindName(sourceKind),
             image.width, image.height, TargetFormatName(target), image.width / 8,
             image.height / 8);
    std::fflush(stdout);

    return WriteTileImage(*outputPath, image, target) ? kSuccess : kFailure;
}

}  // namespace bmp2tvx
