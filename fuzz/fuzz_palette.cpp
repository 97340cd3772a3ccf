// Feeds arbitrary bytes to the palette file reader as --palette=FILE hands it a file: a JASC, GIMP
// or hex palette, a tile image file, or any picture with a colour table. A palette it reads must
// hold 1 to 256 colours; everything else it must refuse, in one line and without a fault.
#include <cstdlib>

#include "palette_file.h"
#include "scratch_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    bmp2tvx::GivenPalette palette;
    if (bmp2tvx::LoadPaletteFile(bmp2tvx::fuzz::WriteScratchFile(data, size), palette) &&
        (palette.colors.empty() || palette.colors.size() > 256)) {
        std::abort();
    }
    return 0;
}
