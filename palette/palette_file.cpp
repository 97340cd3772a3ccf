#include "palette_file.h"

#include <cstdint>
#include <string_view>
#include <utility>

#include "messages.h"
#include "picture_reader.h"
#include "system.h"
#include "tile_reader.h"

namespace bmp2tvx {
namespace {

constexpr std::uint64_t kMostTextBytes = 1u << 20;  // a palette's text is a few kilobytes
constexpr std::size_t kMostColors = 256;

// The lines of a text, without their ends (a line feed, a carriage return, or both).
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + (text.substr(end, 2) == "\r\n" ? 2 : 1));
    }
    return lines;
}

std::string_view Trim(std::string_view s) {
    const std::size_t first = s.find_first_not_of(" \t");
    return first == std::string_view::npos ? std::string_view()
                                           : s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// A whole number from 0 to 255 at the start of `s`, which it then leaves.
bool TakeComponent(std::string_view& s, std::uint8_t& value) {
    s = Trim(s);
    unsigned number = 0;
    std::size_t digits = 0;
    for (; digits < s.size() && s[digits] >= '0' && s[digits] <= '9' && digits < 4; ++digits) {
        number = number * 10 + static_cast<unsigned>(s[digits] - '0');
    }
    const bool ends = digits == s.size() || s[digits] == ' ' || s[digits] == '\t';
    s.remove_prefix(digits);
    value = static_cast<std::uint8_t>(number);
    return digits > 0 && ends && number <= 255;
}

// "r g b" at the start of a line; with `named`, anything may follow (a GIMP colour's name).
bool ParseRgb(std::string_view line, bool named, ColorEntry& color) {
    return TakeComponent(line, color.red) && TakeComponent(line, color.green) &&
           TakeComponent(line, color.blue) && (named || Trim(line).empty());
}

// "RRGGBB" or "#RRGGBB".
bool ParseHex(std::string_view line, ColorEntry& color) {
    line = Trim(line);
    if (!line.empty() && line[0] == '#') {
        line.remove_prefix(1);
    }
    std::uint32_t value = 0;
    for (const char c : line) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) {
            return false;
        }
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    color = ColorEntry{static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                       static_cast<std::uint8_t>(value >> 16)};
    return line.size() == 6;
}

bool BadLine(const GivenPalette& palette, Message message, std::size_t index) {
    Report(message, {palette.path, index + 1});
    return false;
}

// Adds the colour of line `index`, unless the palette is full.
bool Add(GivenPalette& palette, ColorEntry color, std::size_t index) {
    if (palette.colors.size() == kMostColors) {
        return BadLine(palette, Message::PaletteTooLarge, index);
    }
    palette.colors.push_back(color);
    return true;
}

// A number of colours: decimal digits only.
bool ParseCount(std::string_view s, std::size_t& count) {
    count = 0;
    for (const char c : s) {
        if (c < '0' || c > '9' || count > kMostColors * 10) {
            return false;
        }
        count = count * 10 + static_cast<std::size_t>(c - '0');
    }
    return !s.empty();
}

bool ParseJasc(const std::vector<std::string_view>& lines, GivenPalette& palette) {
    std::size_t announced = 0;
    if (lines.size() < 2 || Trim(lines[1]) != "0100") {
        return BadLine(palette, Message::PaletteBadHeaderLine, 1);
    }
    if (lines.size() < 3 || !ParseCount(Trim(lines[2]), announced)) {
        return BadLine(palette, Message::PaletteBadHeaderLine, 2);
    }
    std::size_t found = 0;  // colour lines, the announced ones and any after them
    for (std::size_t i = 3; i < lines.size(); ++i) {
        ColorEntry color;
        if (found < announced && !ParseRgb(lines[i], false, color)) {
            return BadLine(palette, Message::PaletteBadRgbLine, i);
        }
        if (found < announced && !Add(palette, color, i)) {
            return false;
        }
        found += !Trim(lines[i]).empty();
    }
    if (found != announced) {
        Report(Message::PaletteCountMismatch, {palette.path, announced, found});
        return false;
    }
    return true;
}

// GIMP palettes, after their first line, and hex lists. A file whose first colour line is not a
// hex colour is no palette at all.
bool ParseGimpOrHex(const std::vector<std::string_view>& lines, bool gimp, GivenPalette& palette) {
    for (std::size_t i = gimp ? 1 : 0; i < lines.size(); ++i) {
        const std::string_view line = Trim(lines[i]);
        const bool header = line.starts_with("Name:") || line.starts_with("Columns:");
        if (line.empty() || (gimp && (line[0] == '#' || header))) {
            continue;
        }
        ColorEntry color;
        if (gimp ? ParseRgb(line, true, color) : ParseHex(line, color)) {
            if (!Add(palette, color, i)) {
                return false;
            }
        } else if (!gimp && palette.colors.empty()) {
            Report(Message::NotAPalette, {palette.path});
            return false;
        } else {
            return BadLine(palette, gimp ? Message::PaletteBadRgbLine : Message::PaletteBadHexLine,
                           i);
        }
    }
    return true;
}

bool ParseText(const InputFile& file, GivenPalette& palette) {
    if (file.size > kMostTextBytes) {
        Report(Message::NotAPalette, {palette.path});
        return false;
    }
    std::string text(static_cast<std::size_t>(file.size), '\0');
    std::uint64_t got = 0;
    if (!ReadInputFileAt(file, 0, reinterpret_cast<std::uint8_t*>(text.data()), file.size, got)) {
        return false;
    }
    text.resize(static_cast<std::size_t>(got));
    const std::vector<std::string_view> lines = Lines(text);
    const std::string_view first = lines.empty() ? std::string_view() : Trim(lines[0]);
    if (first == "JASC-PAL") {
        return ParseJasc(lines, palette);
    }
    return ParseGimpOrHex(lines, first == "GIMP Palette", palette);
}

// The colour table of a picture, or the palette block of a tile image file.
bool TakeTable(InputFile file, bool tileImage, GivenPalette& palette) {
    if (tileImage) {
        Storage bytes;
        TileImageView view;
        if (!ReadTileImageFile(file, bytes, view)) {
            return false;
        }
        palette.colors = PaletteColors(view.palette);
    } else {
        SourceImage picture;
        if (!LoadPicture(std::move(file), picture)) {
            return false;
        }
        if (const auto* indexed = std::get_if<IndexedPicture>(&picture.picture.colors)) {
            palette.colors.assign(indexed->table.begin(),
                                  indexed->table.begin() + indexed->supplied);
        }
    }
    if (palette.colors.empty()) {
        Report(Message::NoColorTable, {palette.path});
        return false;
    }
    return true;
}

}  // namespace

std::string PaletteFileText(const std::vector<ColorEntry>& colors, bool gimp,
                            const std::string& name) {
    // GIMP writes each component right-aligned in three places.
    const auto field = [gimp](std::uint8_t c) {
        const std::string number = std::to_string(c);
        return gimp ? std::string(3 - number.size(), ' ') + number : number;
    };
    std::string text = gimp ? "GIMP Palette\nName: " + name + "\nColumns: 16\n#\n"
                            : "JASC-PAL\r\n0100\r\n" + std::to_string(colors.size()) + "\r\n";
    for (std::size_t i = 0; i < colors.size(); ++i) {
        const ColorEntry& c = colors[i];
        text += field(c.red) + " " + field(c.green) + " " + field(c.blue) +
                (gimp ? "\tIndex " + std::to_string(i) + "\n" : "\r\n");
    }
    return text;
}

bool LoadPaletteFile(const std::string& path, GivenPalette& palette) {
    palette = GivenPalette{path, {}};
    InputFile file;
    if (!OpenInputFile(path, file)) {
        return false;
    }
    std::uint8_t head[8] = {};
    std::uint64_t got = 0;
    if (!ReadInputFileAt(file, 0, head, sizeof head, got)) {
        return false;
    }
    const bool picture =
        IsBmpSignature(head, got) || IsPngSignature(head, static_cast<std::size_t>(got));
    const bool tileImage = !picture && IsTileImage(head, got < sizeof head ? got : file.size);
    if (!(picture || tileImage ? TakeTable(std::move(file), tileImage, palette)
                               : ParseText(file, palette))) {
        return false;
    }
    if (palette.colors.empty()) {
        Report(Message::PaletteEmpty, {path});
        return false;
    }
    return true;
}

}  // namespace bmp2tvx
