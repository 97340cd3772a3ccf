#include "palette/color_table.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
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

bool BuildColorTable(SourceImage& image, std::size_t limit, const char* path) {
    const std::size_t width = static_cast<std::size_t>(image.width);
    const std::size_t height = static_cast<std::size_t>(image.height);
    // One bit for each of the 2^24 colours counts them all, however many there are. calloc hands
    // back fresh zero pages for a block this large, so only the pages a picture's colours touch
    // cost anything.
    const std::unique_ptr<std::uint64_t, decltype(&std::free)> bits(
        static_cast<std::uint64_t*>(std::calloc(std::size_t{1} << 18, sizeof(std::uint64_t))),
        &std::free);
    if (!bits) {
        std::fprintf(stderr, "Not enough memory to convert %s.\n", path);
        return false;
    }
    std::uint64_t* const seen = bits.get();
    std::vector<std::uint32_t> order;
    std::size_t distinct = 0;
    for (std::size_t y0 = 0; y0 < height; y0 += 8) {
        for (std::size_t x0 = 0; x0 < width; x0 += 8) {
            for (std::size_t r = 0; r < 8; ++r) {
                const std::uint8_t* row = RowFromTop(image, static_cast<std::int32_t>(y0 + r));
                for (std::size_t c = 0; c < 8; ++c) {
                    const std::uint32_t key = ColorKey(row + 3 * (x0 + c));
                    std::uint64_t& word = seen[key >> 6];
                    const std::uint64_t bit = std::uint64_t{1} << (key & 63);
                    if ((word & bit) == 0) {
                        word |= bit;
                        if (++distinct <= limit) {
                            order.push_back(key);
                        }
                    }
                }
            }
        }
    }
    if (distinct > limit) {
        std::fprintf(stderr, "%s uses %zu colours; %s holds at most %zu.\n", path, distinct,
                     limit == 16 ? "Index16" : "Index256", limit);
        return false;
    }

    image.colorTable.fill(ColorEntry{});
    for (std::size_t i = 0; i < order.size(); ++i) {
        image.colorTable[i] = ColorEntry{static_cast<std::uint8_t>(order[i]),
                                         static_cast<std::uint8_t>(order[i] >> 8),
                                         static_cast<std::uint8_t>(order[i] >> 16)};
    }
    image.suppliedColors = static_cast<std::int32_t>(order.size());

    // Colours sorted with their indices, for a binary search per change of colour.
    std::vector<std::pair<std::uint32_t, std::uint8_t>> lookup;
    for (std::size_t i = 0; i < order.size(); ++i) {
        lookup.emplace_back(order[i], static_cast<std::uint8_t>(i));
    }
    std::sort(lookup.begin(), lookup.end());
    // Pixel i's index goes to byte i of the same buffer: that byte is never read again, as the
    // pixels still to come start at byte 3 (i + 1) and beyond.
    std::uint8_t* pixels = image.colorPixels;
    std::uint32_t lastKey = UINT32_MAX;
    std::uint8_t lastIndex = 0;
    for (std::size_t i = 0; i < width * height; ++i) {
        const std::uint32_t key = ColorKey(pixels + 3 * i);
        if (key != lastKey) {
            lastKey = key;
            lastIndex =
                std::lower_bound(lookup.begin(), lookup.end(), std::pair{key, std::uint8_t{0}})
                    ->second;
        }
        pixels[i] = lastIndex;
    }
    image.indexPixels = pixels;
    image.colorPixels = nullptr;
    image.isFullColor = 0;
    return true;
}

}  // namespace bmp2tvx
