#include "palette/key_color.h"

#include <algorithm>
#include <utility>

namespace bmp2tvx {

void MoveKeyColorToZero(SourceImage& image, std::int32_t keyRed, std::int32_t keyGreen,
                        std::int32_t keyBlue, std::int32_t searchEntries) {
    const std::int32_t count = std::clamp(std::min(searchEntries, image.suppliedColors), 0, 256);
    std::int32_t keyIndex = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        const ColorEntry& entry = image.colorTable[static_cast<std::size_t>(i)];
        if (entry.red == keyRed && entry.green == keyGreen && entry.blue == keyBlue) {
            keyIndex = i;
        }
    }
    if (keyIndex == 0) {
        return;
    }
    std::swap(image.colorTable[0], image.colorTable[static_cast<std::size_t>(keyIndex)]);

    // Exchange the two numbers in every pixel; written as selects so that the compiler can work
    // on many pixels per instruction.
    const std::uint8_t key = static_cast<std::uint8_t>(keyIndex);
    std::uint8_t* pixels = image.indexPixels;
    const std::uint64_t total = PixelCount(image);
    for (std::uint64_t i = 0; i < total; ++i) {
        const std::uint8_t p = pixels[i];
        pixels[i] = p == key ? 0 : p == 0 ? key : p;
    }
}

}  // namespace bmp2tvx
