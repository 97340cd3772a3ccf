#include "run.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "bmp_reader.h"
#include "convert.h"
#include "messages.h"
#include "settings.h"
#include "system.h"
#include "tile_writer.h"

namespace bmp2tvx {
namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;

int Refuse(Message message, std::initializer_list<MessageArg> args) {
    Report(message, args);
    return kFailure;
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
        return Refuse(Message::PathTooShort, {inputPath});
    }
    if (*outputPath == inputPath) {
        return Refuse(Message::AlreadyEndsInTvx, {inputPath});
    }
    // Another name for the input itself: a link, a second hard link, or on Windows and macOS a
    // name that differs in case only. Writing the output there would destroy the picture.
    const auto* inFile = std::get_if<PixelsInFile>(&image.pixels.place);
    if (inFile != nullptr && IsSameFile(*inFile->file, *outputPath)) {
        return Refuse(Message::SameFileAsOutput, {inputPath, *outputPath});
    }

    const std::optional<TargetFormat> written = ConvertPicture(
        std::move(image), settings, [&](const SourceImage& picture, const ConversionPlan& plan) {
            return WriteTileImage(*outputPath, picture, plan.target, [&] {
                Report(Message::Summary,
                       {*outputPath, SourceKindName(plan.source), plan.width, plan.height,
                        TileImageFormatName(plan.target), plan.width / 8, plan.height / 8});
            });
        });
    return written ? kSuccess : kFailure;
}

}  // namespace bmp2tvx
