#include "palette/color_table.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

namespace bmp2tvx {
namespace {

std::uint32_t ColorKey(const std::uint8_t* bgr) {
    return static_cast<std::uint32_t>(bgr[0]) | (static_cast<std::uint32_t>(bgr[1]) << 8) |
           (static_cast<std::uint32_t>(bgr[2]) << 16);
}

}  // namespace

std::optional<SourceImage> IndexFullColorPicture(SourceImage&& picture, std::size_t entries,
                                                 std::int32_t keyRed, std::int32_t keyGreen,
                                                 std::int32_t keyBlue, const char* path) {
    const SourceImage& image = picture;
    const std::size_t width = static_cast<std::size_t>(image.width);
    const std::size_t height = static_cast<std::size_t>(image.height);
    const auto inRange = [](std::int32_t c) { return c >= 0 && c <= 255; };
    // A key outside 0..255 matches no pixel; its place stays black.
    const bool keyValid = inRange(keyRed) && inRange(keyGreen) && inRange(keyBlue);
    const std::uint32_t key = keyValid ? static_cast<std::uint32_t>(keyBlue) |
                                             (static_cast<std::uint32_t>(keyGreen) << 8) |
                                             (static_cast<std::uint32_t>(keyRed) << 16)
                                       : 0;
    // One bit for each of the 2^24 colours counts them all, however many there are. calloc hands
    // back fresh zero pages for a block this large, so only the pages a picture's colours touch
    // cost anything.
    const std::unique_ptr<std::uint64_t, decltype(&std::free)> bits(
        static_cast<std::uint64_t*>(std::calloc(std::size_t{1} << 18, sizeof(std::uint64_t))),
        &std::free);
    if (!bits) {
        PrintError("Not enough memory to convert %s.\n", path);
        return std::nullopt;
    }
    std::uint64_t* const seen = bits.get();
    // Entry 0 is the key colour's, whether or not the picture uses it, so that no other colour
    // can become transparent: mark the key as seen before the first pixel.
    if (keyValid) {
        seen[key >> 6] |= std::uint64_t{1} << (key & 63);
    }
    const std::size_t room = entries - 1;  // entries besides the key's
    std::vector<std::uint32_t> order;
    std::size_t others = 0;
    for (std::size_t y0 = 0; y0 < height; y0 += 8) {
        for (std::size_t x0 = 0; x0 < width; x0 += 8) {
            for (std::size_t r = 0; r < 8; ++r) {
                const std::uint8_t* row = RowFromTop(image, static_cast<std::int32_t>(y0 + r));
                for (std::size_t c = 0; c < 8; ++c) {
                    const std::uint32_t colour = ColorKey(row + 3 * (x0 + c));
                    std::uint64_t& word = seen[colour >> 6];
                    const std::uint64_t bit = std::uint64_t{1} << (colour & 63);
                    if ((word & bit) == 0) {
                        word |= bit;
                        if (++others <= room) {
                            order.push_back(colour);
                        }
                    }
                }
            }
        }
    }
    if (others > room) {
        PrintError("%s uses %zu colours besides the key colour; %s has room for %zu.\n", path,
                   others, entries == 16 ? "Index16" : "Index256", room);
        return std::nullopt;
    }

    const auto entryOf = [](std::uint32_t colour) {
        return ColorEntry{static_cast<std::uint8_t>(colour), static_cast<std::uint8_t>(colour >> 8),
                          static_cast<std::uint8_t>(colour >> 16)};
    };
    SourceImage indexed;
    indexed.width = picture.width;
    indexed.height = picture.height;
    indexed.isFullColor = 0;
    indexed.colorTable[0] = entryOf(key);
    for (std::size_t i = 0; i < order.size(); ++i) {
        indexed.colorTable[i + 1] = entryOf(order[i]);
    }
    indexed.suppliedColors = static_cast<std::int32_t>(order.size() + 1);

    // Colours sorted with their indices, for a binary search per change of colour. Only pixels of
    // exactly the key colour take entry 0.
    std::vector<std::pair<std::uint32_t, std::uint8_t>> lookup;
    if (keyValid) {
        lookup.emplace_back(key, std::uint8_t{0});
    }
    for (std::size_t i = 0; i < order.size(); ++i) {
        lookup.emplace_back(order[i], static_cast<std::uint8_t>(i + 1));
    }
    std::sort(lookup.begin(), lookup.end());
    // Pixel i's index goes to byte i of the same buffer: that byte is never read again, as the
    // pixels still to come start at byte 3 (i + 1) and beyond.
    std::uint8_t* pixels = picture.colorPixels;
    std::uint32_t lastColour = UINT32_MAX;
    std::uint8_t lastIndex = 0;
    for (std::size_t i = 0; i < width * height; ++i) {
        const std::uint32_t colour = ColorKey(pixels + 3 * i);
        if (colour != lastColour) {
            lastColour = colour;
            lastIndex =
                std::lower_bound(lookup.begin(), lookup.end(), std::pair{colour, std::uint8_t{0}})
                    ->second;
        }
        pixels[i] = lastIndex;
    }
    indexed.indexPixels = pixels;
    indexed.storage = std::move(picture.storage);
    picture = SourceImage{};
    return indexed;
}

}  // namespace bmp2tvx
