#include "settings.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "messages.h"
#include "system.h"

namespace bmp2tvx {

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

void ParseFlag(ConversionSettings& settings, const char* argument) {
    if (argument[0] != '-' || argument[1] == '\0') {
        return;
    }
    const char* valueText = argument + 2;
    switch (argument[1]) {
        case 'c': {
            const std::int32_t depth = ParseFlagValue(valueText);
            if (depth == 4 || depth == 8 || depth == 16) {
                settings.targetDepth = depth;
            } else {
                Report(Message::InvalidDepth, {depth});
                settings.targetDepth = -1;
            }
            break;
        }
        case 'r':
            settings.keyRed = ParseFlagValue(valueText);
            break;
        case 'g':
            settings.keyGreen = ParseFlagValue(valueText);
            break;
        case 'b':
            settings.keyBlue = ParseFlagValue(valueText);
            break;
        default:  // any other letter is not a flag
            break;
    }
}

bool IsPaletteOption(const char* argument, std::string& file) {
    const std::string_view text = argument;
    constexpr std::string_view kOption = "--palette";
    if (!text.starts_with(kOption) ||
        (text.size() > kOption.size() && text[kOption.size()] != '=')) {
        return false;
    }
    file = std::string(text.substr(std::min(text.size(), kOption.size() + 1)));
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

}  // namespace bmp2tvx
