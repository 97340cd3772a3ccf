// Feeds arbitrary bytes through the tool's own conversion, in memory: load, then everything the
// tool does to a loaded picture, encoding included.
// The last four bytes also choose the settings, so any valid BMP is a useful seed as it is.
#include <cstddef>
#include <cstdint>
#include <utility>

#include "driver/convert.h"
#include "image/bmp_reader.h"
#include "tileimage/tile_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace bmp2tvx;
    std::uint8_t choice[4] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < 4 && i < size; ++i) {
        choice[i] = data[size - 1 - i];
    }
    SourceImage image;
    if (!LoadBitmapFromMemory("fuzz.bmp", data, size, image)) {
        return 0;
    }
    // Keys reach outside 0..255 too: -128 to 383 in steps of 2.
    const auto key = [](std::uint8_t b) { return static_cast<std::int32_t>(b) * 2 - 128; };
    constexpr std::int32_t kDepths[] = {-1, 4, 8, 16};
    ConversionSettings settings;
    settings.targetDepth = kDepths[choice[0] & 3];
    settings.keyRed = key(choice[1]);
    settings.keyGreen = key(choice[2]);
    settings.keyBlue = key(choice[3]);
    ConvertPicture(std::move(image), settings, "fuzz.bmp",
                   [](const SourceImage& picture, const ConversionPlan& plan) {
                       return !EncodeTileImage(picture, plan.target).empty();
                   });
    return 0;
}
