// The settings a run takes from its command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace bmp2tvx {

// The key colour's components are kept as the flags give them, any 32-bit values: one colour is
// made of them (MakeKeyColor) only once every flag has been read, as a later flag overrides an
// earlier one.
struct ConversionSettings {
    std::int32_t targetDepth = -1;  // -1 automatic, else 4, 8 or 16
    std::int32_t keyRed = 0;
    std::int32_t keyGreen = 0;
    std::int32_t keyBlue = 0;
};

// A flag's value: white space skipped, an optional sign, then decimal digits up to the first
// other character; no digits reads as 0, and values beyond 32 bits are clamped.
std::int32_t ParseFlagValue(const char* text);

// Applies one argument. "-c", "-r", "-g" and "-b" followed by a value set the depth and the key
// colour; anything else is ignored. A depth other than 4, 8 or 16 is reported on standard output
// and resets the depth to automatic.
void ParseFlag(ConversionSettings& settings, const char* argument);

// Whether `argument` is a palette option: "--palette", or "--palette=" and a file name, which is
// put in `file` (empty when there is none).
bool IsPaletteOption(const char* argument, std::string& file);

// The input path with its last three bytes replaced by "tvx", or nothing for a path shorter than
// three bytes.
std::optional<std::string> MakeOutputPath(const std::string& inputPath);

}  // namespace bmp2tvx
