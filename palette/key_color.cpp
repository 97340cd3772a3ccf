#include "palette/key_color.h"

#include <algorithm>
#include <array>
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

    // Exchange the two numbers in every pixel through a lookup table.
    std::array<std::uint8_t, 256> renumber{};
    for (std::size_t i = 0; i < renumber.size(); ++i) {
        renumber[i] = static_cast<std::uint8_t>(i);
    }
    renumber[0] = static_cast<std::uint8_t>(keyIndex);
    renumber[static_cast<std::size_t>(keyIndex)] = 0;
    std::uint8_t* pixels = image.indexPixels;
    const std::uint64_t total = PixelCount(image);
    for (std::uint64_t i = 0; i < total; ++i) {
        pixels[i] = renumber[pixels[i]];
    }
}

}  // namespace bmp2tvx
