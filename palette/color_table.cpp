#include "color_table.h"

#include <array>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "messages.h"
#include "pixels.h"

namespace bmp2tvx {
namespace {

// A colour packed into one number, blue in the low byte, for hashing and comparing at once.
using PackedColor = std::uint32_t;
constexpr PackedColor kNoColor = 0xFFFFFFFFu;  // colours are 24-bit: never a real one

PackedColor Pack(const std::uint8_t* bgr) {
    return static_cast<PackedColor>(bgr[0]) | (static_cast<PackedColor>(bgr[1]) << 8) |
           (static_cast<PackedColor>(bgr[2]) << 16);
}

PackedColor Pack(ColorEntry color) {
    return Pack(std::array<std::uint8_t, 3>{color.blue, color.green, color.red}.data());
}

ColorEntry Unpack(PackedColor color) {
    return ColorEntry{static_cast<std::uint8_t>(color), static_cast<std::uint8_t>(color >> 8),
                      static_cast<std::uint8_t>(color >> 16)};
}

constexpr std::array<PackedColor, 1024> kEmptyPlaces = [] {
    std::array<PackedColor, 1024> places{};
    places.fill(kNoColor);
    return places;
}();

// The colours met so far and their entries, in a small open-addressing table: at most 257
// colours (the key's and 256 others) in 1024 places, so a look-up rarely goes past its first
// place. The colour looked up last is remembered, as neighbouring pixels mostly share it.
struct Numbering {
    std::array<PackedColor, 1024> colors = kEmptyPlaces;
    std::array<std::uint8_t, 1024> entries{};
    std::vector<PackedColor> order;  // the colour of entry 1, 2, ...
    std::size_t room = 0;            // entries besides the key's
    PackedColor lastColor = kNoColor;
    std::uint8_t lastEntry = 0;
};

std::size_t PlaceOf(const Numbering& n, PackedColor color) {
    std::size_t place = (color * 0x9E3779B1u) >> 22;
    while (n.colors[place] != color && n.colors[place] != kNoColor) {
        place = (place + 1) & (n.colors.size() - 1);
    }
    return place;
}

// The entry of `color`, numbering it if it is new; false when there is no room left for it.
inline bool EntryOf(Numbering& n, PackedColor color, std::uint8_t& entry) {
    if (color == n.lastColor) {
        entry = n.lastEntry;
        return true;
    }
    const std::size_t place = PlaceOf(n, color);
    if (n.colors[place] == kNoColor) {
        if (n.order.size() == n.room) {
            return false;
        }
        n.order.push_back(color);
        n.colors[place] = color;
        n.entries[place] = static_cast<std::uint8_t>(n.order.size());
    }
    n.lastColor = color;
    n.lastEntry = entry = n.entries[place];
    return true;
}

// Numbers one band's pixels in tile order, writing each pixel's entry to `out` (rows from the
// top, `width` bytes each). False when a colour finds no room.
bool NumberBand(const Band& band, std::size_t width, Numbering& n, std::uint8_t* out) {
    for (std::size_t x0 = 0; x0 < width; x0 += 8) {
        const std::uint8_t* row = band.top + 3 * x0;
        std::uint8_t* to = out + x0;
        for (int r = 0; r < 8; ++r, row += band.down, to += width) {
            for (std::size_t c = 0; c < 8; ++c) {
                if (!EntryOf(n, Pack(row + 3 * c), to[c])) {
                    return false;
                }
            }
        }
    }
    return true;
}

// Every colour as one bit, for counting a picture with too many colours: 2^24 bits. calloc hands
// back fresh zero pages for a block this large, so only the pages a picture's colours touch cost
// anything.
struct ColorCount {
    std::unique_ptr<std::uint64_t, decltype(&std::free)> seen{nullptr, &std::free};
    std::size_t count = 0;
};

void CountColor(ColorCount& all, PackedColor color) {
    std::uint64_t& word = all.seen.get()[color >> 6];
    const std::uint64_t bit = std::uint64_t{1} << (color & 63);
    all.count += (word & bit) == 0;
    word |= bit;
}

void CountBand(const Band& band, std::size_t width, ColorCount& all) {
    for (int r = 0; r < 8; ++r) {
        const std::uint8_t* row = band.top + r * band.down;
        for (std::size_t x = 0; x < width; ++x) {
            CountColor(all, Pack(row + 3 * x));
        }
    }
}

// Switches from numbering to counting: every colour numbered so far is counted, the key's not.
bool StartCounting(const Numbering& n, std::optional<PackedColor> key, ColorCount& all) {
    all.seen.reset(static_cast<std::uint64_t*>(std::calloc(std::size_t{1} << 18, 8)));
    if (!all.seen) {
        return false;
    }
    if (key) {
        CountColor(all, *key);
        all.count = 0;
    }
    for (const PackedColor color : n.order) {
        CountColor(all, color);
    }
    return true;
}

// The numbered picture: its table, and its pixels in memory, rows from the top.
SourceImage IndexedPicture(const SourceImage& picture, const Numbering& n, ColorEntry zero,
                           Storage indices) {
    SourceImage indexed;
    indexed.width = picture.width;
    indexed.height = picture.height;
    indexed.colorTable[0] = zero;
    for (std::size_t i = 0; i < n.order.size(); ++i) {
        indexed.colorTable[i + 1] = Unpack(n.order[i]);
    }
    indexed.suppliedColors = static_cast<std::int32_t>(n.order.size() + 1);
    indexed.pixels =
        PixelSource{PixelsInMemory{std::move(indices)}, true, IdentityMap(), picture.pixels.name};
    return indexed;
}

}  // namespace

std::optional<SourceImage> IndexFullColorPicture(const SourceImage& picture, std::size_t entries,
                                                 KeyColor key) {
    const char* path = picture.pixels.name.c_str();
    Storage indices = AllocateStorage(PixelCount(picture));
    if (!indices) {
        Report(Message::NoMemoryToConvert, {path});
        return std::nullopt;
    }
    const auto numbering = std::make_unique<Numbering>();
    Numbering& n = *numbering;
    n.room = entries - 1;
    // Entry 0 is the key colour's, whether or not the picture uses it, so that no other colour
    // can become transparent.
    const std::optional<PackedColor> packedKey = key ? std::optional(Pack(*key)) : std::nullopt;
    if (packedKey) {
        n.colors[PlaceOf(n, *packedKey)] = *packedKey;  // its entry is 0
    }
    const std::size_t width = static_cast<std::size_t>(picture.width);
    ColorCount all;  // once there are too many colours, only counting them goes on
    const PixelWalk walk = VisitBands(picture, [&](const Band& band) {
        std::uint8_t* out = indices.get() + static_cast<std::size_t>(band.y0) * width;
        if (!all.seen && NumberBand(band, width, n, out)) {
            return true;
        }
        if (!all.seen && !StartCounting(n, packedKey, all)) {
            Report(Message::NoMemoryToConvert, {path});
            return false;
        }
        CountBand(band, width, all);
        return true;
    });
    if (walk != PixelWalk::Finished) {
        return std::nullopt;
    }
    if (all.seen) {
        Report(Message::TooManyColours,
               {path, all.count, entries == 16 ? "Index16" : "Index256", n.room});
        return std::nullopt;
    }
    return IndexedPicture(picture, n, key.value_or(ColorEntry{}), std::move(indices));
}

}  // namespace bmp2tvx
