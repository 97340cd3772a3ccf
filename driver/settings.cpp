#include "settings.h"

#include <array>
#include <cctype>
#include <string_view>
#include <vector>

#include "options.h"

namespace bmp2tvx {
namespace {

// A key colour written in one word: "RRGGBB" or "#RRGGBB", hexadecimal in either case.
std::optional<std::array<std::int32_t, 3>> ParseHexColor(std::string_view text) {
    if (text.starts_with('#')) {
        text.remove_prefix(1);
    }
    if (text.size() != 6) {
        return std::nullopt;
    }
    std::array<std::int32_t, 3> rgb{};
    for (std::size_t i = 0; i < 6; ++i) {
        const char c = text[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) {
            return std::nullopt;
        }
        rgb[i / 2] = rgb[i / 2] * 16 + digit;
    }
    return rgb;
}

bool TakesKey(std::string_view value, bool hasValue) {
    return hasValue && (value == "none" || ParseHexColor(value).has_value());
}

// A frame size: "WxH", decimal numbers of up to 6 digits on either side of an "x".
std::optional<FrameSize> ParseFrameSize(std::string_view text) {
    FrameSize size;
    std::int32_t* side = &size.width;
    std::size_t digits = 0;
    for (const char c : text) {
        if ((c == 'x' || c == 'X') && side == &size.width && digits > 0) {
            side = &size.height;
            digits = 0;
        } else if (c >= '0' && c <= '9' && digits < 6) {
            *side = *side * 10 + (c - '0');
            ++digits;
        } else {
            return std::nullopt;
        }
    }
    return side == &size.height && digits > 0 ? std::optional(size) : std::nullopt;
}

bool TakesFrameSize(std::string_view value, bool hasValue) {
    return hasValue && ParseFrameSize(value).has_value();
}

bool TakesMapKind(std::string_view value, bool hasValue) {
    return !hasValue || value == "affine";
}

constexpr std::array<LongOption, 9> kOptions = {{
    {"help", "--help", TakesNoValue},
    {"version", "--version", TakesNoValue},
    {"palette", "--palette=FILE", TakesFileName},
    {"key", "--key=RRGGBB or --key=none", TakesKey},
    {"output", "--output=PATH", TakesFileName},
    {"frame", "--frame=WxH", TakesFrameSize},
    {"map", "--map or --map=affine", TakesMapKind},
    {"tile-base", "--tile-base=N (N from 0 to 1023)", TakesTileBase},
    {"bank-base", "--bank-base=N (N from 0 to 15)", TakesBankBase},
}};

void SetKey(ConversionSettings& settings, std::int32_t red, std::int32_t green, std::int32_t blue) {
    settings.keyRed = red;
    settings.keyGreen = green;
    settings.keyBlue = blue;
    settings.keepIndices = false;
}

void ApplyLongOption(ConversionSettings& settings, const OptionMatch& match) {
    const std::string_view name = match.option->name;
    if (name == "palette") {
        settings.palette = std::string(match.value);
    } else if (name == "output") {
        settings.output = std::string(match.value);
    } else if (name == "frame") {
        settings.frame = ParseFrameSize(match.value);
        settings.frameText = std::string(match.value);
    } else if (name == "map") {
        settings.map = match.hasValue ? MapKind::Affine : MapKind::Regular;
    } else if (name == "tile-base") {
        settings.tileBase = ParseDecimal(match.value, 1023);
    } else if (name == "bank-base") {
        settings.bankBase = ParseDecimal(match.value, 15);
    } else if (name == "key" && match.value == "none") {
        SetKey(settings, 0, 0, 0);
        settings.keepIndices = true;
    } else if (name == "key") {
        const std::array<std::int32_t, 3> rgb = *ParseHexColor(match.value);
        SetKey(settings, rgb[0], rgb[1], rgb[2]);
    }
    // --help and --version are questions only when alone (run.cpp); elsewhere they do nothing.
}

}  // namespace

std::int32_t ParseFlagValue(const char* text) {
    while (std::isspace(static_cast<unsigned char>(*text))) {
        ++text;
    }
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    // Accumulate in 64 bits and stop growing once past the 32-bit range.
    std::int64_t magnitude = 0;
    constexpr std::int64_t kLimit = static_cast<std::int64_t>(INT32_MAX) + 1;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (magnitude < kLimit) {
            magnitude = magnitude * 10 + (*text - '0');
        }
    }
    if (negative) {
        return magnitude >= kLimit ? INT32_MIN : static_cast<std::int32_t>(-magnitude);
    }
    return magnitude > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(magnitude);
}

std::optional<FlagNotice> ParseFlag(ConversionSettings& settings, const char* argument) {
    OptionMatch match;
    std::optional<Notice> refusal;
    switch (ReadLongOption(argument, kOptions, "bmp2tvx", match, refusal)) {
        case OptionKind::Known:
            ApplyLongOption(settings, match);
            return std::nullopt;
        case OptionKind::Refused:
            return FlagNotice{*refusal, true};
        case OptionKind::NotAnOption:
            break;
    }
    if (argument[0] != '-' || argument[1] == '\0') {
        return std::nullopt;
    }
    const std::int32_t value = ParseFlagValue(argument + 2);
    // A component given after --key=none makes the key a colour again, the others black.
    const auto component = [&](std::int32_t& field) {
        if (settings.keepIndices) {
            SetKey(settings, 0, 0, 0);
        }
        field = value;
    };
    switch (argument[1]) {
        case 'c':
            if (value == 4 || value == 8 || value == 16) {
                settings.targetDepth = value;
                return std::nullopt;
            }
            settings.targetDepth = -1;
            return FlagNotice{Notice{Message::InvalidDepth, {value}}, false};
        case 'r':
            component(settings.keyRed);
            break;
        case 'g':
            component(settings.keyGreen);
            break;
        case 'b':
            component(settings.keyBlue);
            break;
        default:  // any other letter is not a flag
            break;
    }
    return std::nullopt;
}

bool ParseCommandLine(int argc, const char* const* argv, ConversionSettings& settings) {
    std::vector<Notice> depthLines;
    for (int i = 0; i < argc; ++i) {
        if (std::optional<FlagNotice> said = ParseFlag(settings, argv[i])) {
            if (said->refusal) {
                Report(said->notice);
                return false;
            }
            depthLines.push_back(std::move(said->notice));
        }
    }
    for (const Notice& line : depthLines) {
        Report(line);
    }
    return true;
}

std::optional<std::string> MakeOutputPath(const std::string& inputPath) {
    if (inputPath.size() < 3) {
        return std::nullopt;
    }
    std::string output = inputPath;
    output.replace(output.size() - 3, 3, "tvx");
    return output;
}

bool ChooseOutputPath(const ConversionSettings& settings, const std::string& inputPath,
                      std::string& outputPath) {
    if (settings.output) {
        outputPath = *settings.output;
        if (outputPath == inputPath) {
            Report(Message::OutputIsInput, {inputPath});
            return false;
        }
        return ChooseMapPath(settings, inputPath, outputPath);
    }
    const std::optional<std::string> beside = MakeOutputPath(inputPath);
    if (!beside) {
        Report(Message::PathTooShort, {inputPath});
        return false;
    }
    if (*beside == inputPath) {
        Report(Message::AlreadyEndsInTvx, {inputPath});
        return false;
    }
    outputPath = *beside;
    return ChooseMapPath(settings, inputPath, outputPath);
}

bool ChooseMapPath(const ConversionSettings& settings, const std::string& inputPath,
                   const std::string& outputPath) {
    if (settings.map == MapKind::None) {
        return true;
    }
    const std::optional<std::string> map = MapPathOf(outputPath);
    if (!map) {
        Report(Message::PathTooShort, {outputPath});
        return false;
    }
    // The map must not take the place of the input, nor of the tile image file itself (an
    // --output path that ends in tvm).
    for (const std::string& path : {inputPath, outputPath}) {
        if (*map == path) {
            Report(Message::AlreadyEndsInTvm, {path});
            return false;
        }
    }
    return true;
}

}  // namespace bmp2tvx
