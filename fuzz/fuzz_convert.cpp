// Feeds arbitrary bytes through a whole conversion in memory: load, colour table for 24-bit
// pictures, key colour, every layout.
// The last four bytes also choose the settings, so any valid BMP is a useful seed as it is.
#include <cstddef>
#include <cstdint>

#include "image/bmp_reader.h"
#include "palette/color_table.h"
#include "palette/key_color.h"
#include "tileimage/tile_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace bmp2tvx;
    std::uint8_t settings[4] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < 4 && i < size; ++i) {
        settings[i] = data[size - 1 - i];
    }
    SourceImage image;
    if (!LoadBitmapFromMemory("fuzz.bmp", data, size, image)) {
        return 0;
    }
    // Keys reach outside 0..255 too: -128 to 383 in steps of 2.
    const auto key = [](std::uint8_t b) { return static_cast<std::int32_t>(b) * 2 - 128; };
    const bool index16 = settings[0] & 1;
    if (image.isFullColor) {
        EncodeTileImage(image, TargetFormat::FullColor16);
        // Then as tiles, through a colour table of the picture's own colours.
        if (!BuildColorTable(image, index16 ? 16 : 256, key(settings[1]), key(settings[2]),
                             key(settings[3]), "fuzz.bmp")) {
            return 0;
        }
    } else {
        MoveKeyColorToZero(image, key(settings[1]), key(settings[2]), key(settings[3]),
                           index16 ? 16 : 256);
    }
    if (FitsIndex16(image)) {
        EncodeTileImage(image, TargetFormat::Index16);
    }
    EncodeTileImage(image, TargetFormat::Index256);
    EncodeTileImage(image, TargetFormat::FullColor16);
    return 0;
}
