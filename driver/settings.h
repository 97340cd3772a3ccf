// The settings a run takes from its command line, read once into one record that the tool, the
// browser page and the fuzz target share.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "map_file.h"
#include "messages.h"
#include "tile_layout.h"

namespace bmp2tvx {

// The key colour's components are kept as the flags give them, any 32-bit values: one colour is
// made of them (MakeKeyColor) only once every flag has been read, as a later flag overrides an
// earlier one.
struct ConversionSettings {
    std::int32_t targetDepth = -1;  // -1 automatic, else 4, 8 or 16
    std::int32_t keyRed = 0;
    std::int32_t keyGreen = 0;
    std::int32_t keyBlue = 0;
    // --key=none: no colour is a key. An indexed picture keeps every index, entry 0 being the
    // transparent one; only the transparency a picture carries makes a pixel transparent.
    bool keepIndices = false;
    std::optional<std::string> palette;    // --palette=FILE
    std::optional<std::string> output;     // --output=PATH: the tile image file's path
    std::optional<FrameSize> frame;        // --frame=WxH: the tiles frame by frame
    std::string frameText;                 // as the command line wrote it, for messages
    MapKind map = MapKind::None;           // --map, --map=affine: a background's map beside
    std::optional<std::int32_t> tileBase;  // --tile-base=N: the map's first tile number
    std::optional<std::int32_t> bankBase;  // --bank-base=N: the map's first palette bank
};

// A flag's value: white space skipped, an optional sign, then decimal digits up to the first
// other character; no digits reads as 0, and values beyond 32 bits are clamped.
std::int32_t ParseFlagValue(const char* text);

// What applying one argument found to say: nothing, a -c value other than 4, 8 or 16 (reported on
// standard output, the depth reset to automatic and the run going on), or an argument the tool
// cannot take (reported on standard error, and the run refused).
struct FlagNotice {
    Notice notice;
    bool refusal = false;
};

// Applies one argument. "-c", "-r", "-g" and "-b" followed by a value set the depth and the key
// colour (a later one overriding an earlier one, --key= among them); "--" and a letter is one of
// the tool's options (--key=, --palette=, --output=, --frame=, --map, --tile-base=,
// --bank-base=, --help, --version), refused when it is none of
// them or its value cannot be read; anything else is ignored.
std::optional<FlagNotice> ParseFlag(ConversionSettings& settings, const char* argument);

// Every argument, the program's name and the input path included, in order. An argument the tool
// cannot take refuses the whole command line: its one line is printed and nothing else is (no -c
// line either), and false returned. Otherwise the -c lines are printed, in order.
bool ParseCommandLine(int argc, const char* const* argv, ConversionSettings& settings);

// The input path with its last three bytes replaced by "tvx", or nothing for a path shorter than
// three bytes.
std::optional<std::string> MakeOutputPath(const std::string& inputPath);

// With --map, whether the map file can be named after `outputPath` without replacing the input
// (its one line printed when not).
bool ChooseMapPath(const ConversionSettings& settings, const std::string& inputPath,
                   const std::string& outputPath);

// Where the tile image file goes: --output's path, or else the input's with "tvx" for its last
// three bytes; nothing when neither can be had. Refused (its line printed, false returned) when
// that is the input's own path.
bool ChooseOutputPath(const ConversionSettings& settings, const std::string& inputPath,
                      std::string& outputPath);

}  // namespace bmp2tvx
