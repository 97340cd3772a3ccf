// Palette files: the colours an artist gives for one bank of the handheld's palette memory, so
// that every picture of the bank indexes the same entries in the same order. A file is told by
// its content, whatever its name:
//
//   JASC        "JASC-PAL", "0100", the number of colours, then one "r g b" line for each
//   GIMP        "GIMP Palette", then "r g b name" lines (the name optional); "Name:" and
//               "Columns:" lines, "#" comments and blank lines are read past
//   hex list    one "RRGGBB" a line, with or without a leading "#", as palette sites export;
//               blank lines are read past
//   tile image  a file bmp2tvx wrote: its palette block (16 or 256 colours)
//   picture     a BMP or PNG that bmp2tvx reads and that has a colour table: the table in order
//
// Components are 0 to 255; a tile image file's 5-bit components are widened by repeating their
// top bits, which keeps their colour words as they are.
#pragma once

#include <string>
#include <vector>

#include "color.h"

namespace bmp2tvx {

// A palette as a file gives it: at most 256 colours, entry 0 first.
struct GivenPalette {
    std::string path;  // as the user named it, for messages
    std::vector<ColorEntry> colors;
};

// The text of a palette file holding `colors`: a GIMP palette named `name`, or (unless `gimp`) a
// JASC one, whose lines end in a carriage return and a line feed as its writers' do.
std::string PaletteFileText(const std::vector<ColorEntry>& colors, bool gimp,
                            const std::string& name);

// Reads the palette file at `path`. On any problem prints one line naming the file and what is
// wrong (the line, for text files) and returns false.
bool LoadPaletteFile(const std::string& path, GivenPalette& palette);

}  // namespace bmp2tvx
