#include "run.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "convert.h"
#include "messages.h"
#include "palette_file.h"
#include "picture_reader.h"
#include "settings.h"
#include "system.h"
#include "tile_encoder.h"

namespace bmp2tvx {
namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;

// Encodes the planned picture into a temporary file beside `outputPath` and, unless reading the
// picture fails, prints the summary line and moves the file into place. A problem with the
// output itself is told after the summary line.
// A background's map file is written the same way beside it, and put in place just before it.
int WriteOutput(const std::string& outputPath, Conversion& c, SourceImage& image) {
    OutputFile output;
    OutputFile map;
    OpenOutputFile(outputPath, output);
    const PixelCoding& coding = c.plan.coding;
    if (!WriteTileImage(output, coding, c.layout, PixelsToEncode(c, image))) {
        return kFailure;
    }
    if (c.map) {
        OpenOutputFile(*MapPathOf(outputPath), map);
        WriteOutputFile(map, MapFileBytes(*c.map));
    }
    Report(Message::Summary, {outputPath, SourceKindName(c.source), c.width, c.height,
                              TargetFormatName(coding.format), c.width / 8, c.height / 8});
    return (!c.map || CommitOutputFile(map)) && CommitOutputFile(output) ? kSuccess : kFailure;
}

// Whether the options work together, before the picture is read: bases without a map, a map or
// frames with -c16 or each other, an affine map with -c4 and a frame size the tiles cannot make
// are refused, their line printed.
bool SettingsWorkTogether(const ConversionSettings& settings) {
    const bool map = settings.map != MapKind::None;
    for (const auto& [base, name] : {std::pair{settings.tileBase, "--tile-base="},
                                     std::pair{settings.bankBase, "--bank-base="}}) {
        if (base && !map) {
            Report(Message::BaseWithoutMap, {name + std::to_string(*base)});
            return false;
        }
    }
    if (map && (settings.frame || settings.targetDepth == 16)) {
        Report(settings.frame ? Message::MapWithFrame : Message::MapWithFullColor16);
        return false;
    }
    if (settings.map == MapKind::Affine && settings.targetDepth == 4) {
        Report(Message::AffineNeedsIndex256);
        return false;
    }
    const FrameSize frame = settings.frame.value_or(FrameSize{8, 8});
    if (frame.width == 0 || frame.height == 0 || frame.width % 8 != 0 || frame.height % 8 != 0) {
        Report(Message::FrameSizeUnusable, {settings.frameText});
        return false;
    }
    if (settings.frame && settings.targetDepth == 16) {
        Report(Message::FrameWithFullColor16, {settings.frameText});
        return false;
    }
    return true;
}

// The palette that --palette=FILE names, loaded into `palette`; false when it is refused, its
// line printed.
bool TakeGivenPalette(const ConversionSettings& settings, std::optional<GivenPalette>& palette) {
    if (settings.palette && settings.targetDepth == 16) {
        Report(Message::PaletteWithFullColor16, {*settings.palette});
        return false;
    }
    return !settings.palette || LoadPaletteFile(*settings.palette, palette.emplace());
}

}  // namespace

int RunConversion(int argc, const char* const* argv) {
    if (argc <= 1) {
        Report(Message::Usage);
        return kSuccess;
    }
    // Alone, these two are questions about the tool; anywhere else they are arguments like others.
    if (argc == 2 && std::string_view(argv[1]) == "--help") {
        Report(Message::Help);
        return kSuccess;
    }
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        Report(Message::Version, {BMP2TVX_VERSION});
        return kSuccess;
    }
    // Every argument, the program's name and the input path included, is offered as a flag.
    ConversionSettings settings;
    if (!ParseCommandLine(argc, argv, settings)) {
        return kFailure;
    }
    std::optional<GivenPalette> palette;
    if (!SettingsWorkTogether(settings) || !TakeGivenPalette(settings, palette)) {
        return kFailure;
    }
    const std::string inputPath = argv[argc - 1];
    InputFile input;
    if (!OpenInputFile(inputPath, input)) {
        return kFailure;
    }
    // Another name for the input itself: a link, a second hard link, or on Windows and macOS a
    // name that differs in case only. Writing the output there would destroy the picture, so this
    // is asked of the open input before anything is read, whatever kind of picture it holds.
    const std::optional<std::string> named =
        settings.output ? settings.output : MakeOutputPath(inputPath);
    const std::optional<std::string> mapNamed =
        settings.map != MapKind::None && named ? MapPathOf(*named) : std::nullopt;
    for (const std::optional<std::string>& path : {named, mapNamed}) {
        if (path && *path != inputPath && IsSameFile(input, *path)) {
            Report(Message::SameFileAsOutput, {inputPath, *path});
            return kFailure;
        }
    }

    SourceImage image;
    std::string outputPath;
    if (!LoadPicture(std::move(input), image) ||
        !ChooseOutputPath(settings, inputPath, outputPath)) {
        return kFailure;
    }
    std::optional<Conversion> conversion =
        PlanConversion(image, settings, palette ? &*palette : nullptr);
    return conversion ? WriteOutput(outputPath, *conversion, image) : kFailure;
}

}  // namespace bmp2tvx
