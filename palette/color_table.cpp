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

constexpr std::uint32_t kNoColour = 0xFFFFFFFFu;  // colours are 24-bit: never a real one

std::uint32_t ColorKey(const std::uint8_t* bgr) {
    return static_cast<std::uint32_t>(bgr[0]) | (static_cast<std::uint32_t>(bgr[1]) << 8) |
           (static_cast<std::uint32_t>(bgr[2]) << 16);
}

// The colours met so far and their entries, in a small open-addressing table: at most 257
// colours (the key's and 256 others) in 1024 places, so a look-up rarely goes past its first
// place. The colour looked up last is remembered, as neighbouring pixels mostly share it.
struct Numbering {
    std::array<std::uint32_t, 1024> colours;
    std::array<std::uint8_t, 1024> entries{};
    std::vector<std::uint32_t> order;  // the colour of entry 1, 2, ...
    std::size_t room = 0;              // entries besides the key's
    std::uint32_t lastColour = kNoColour;
    std::uint8_t lastEntry = 0;
};

std::size_t PlaceOf(const Numbering& n, std::uint32_t colour) {
    std::size_t place = (colour * 0x9E3779B1u) >> 22;
    while (n.colours[place] != colour && n.colours[place] != kNoColour) {
        place = (place + 1) & (n.colours.size() - 1);
    }
    return place;
}

void Add(Numbering& n, std::uint32_t colour, std::uint8_t entry) {
    const std::size_t place = PlaceOf(n, colour);
    n.colours[place] = colour;
    n.entries[place] = entry;
}

// The entry of `colour`, numbering it if it is new; false when there is no room left for it.
inline bool EntryOf(Numbering& n, std::uint32_t colour, std::uint8_t& entry) {
    if (colour == n.lastColour) {
        entry = n.lastEntry;
        return true;
    }
    const std::size_t place = PlaceOf(n, colour);
    if (n.colours[place] == kNoColour) {
        if (n.order.size() == n.room) {
            return false;
        }
        n.order.push_back(colour);
        n.colours[place] = colour;
        n.entries[place] = static_cast<std::uint8_t>(n.order.size());
    }
    n.lastColour = colour;
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
                if (!EntryOf(n, ColorKey(row + 3 * c), to[c])) {
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
struct ColourCount {
    std::unique_ptr<std::uint64_t, decltype(&std::free)> seen{nullptr, &std::free};
    std::size_t count = 0;
};

void CountColour(ColourCount& all, std::uint32_t colour) {
    std::uint64_t& word = all.seen.get()[colour >> 6];
    const std::uint64_t bit = std::uint64_t{1} << (colour & 63);
    all.count += (word & bit) == 0;
    word |= bit;
}

void CountBand(const Band& band, std::size_t width, ColourCount& all) {
    for (int r = 0; r < 8; ++r) {
        const std::uint8_t* row = band.top + r * band.down;
        for (std::size_t x = 0; x < width; ++x) {
            CountColour(all, ColorKey(row + 3 * x));
        }
    }
}

// Switches from numbering to counting: every colour numbered so far is counted, the key's not.
bool StartCounting(const Numbering& n, const std::uint32_t* key, ColourCount& all) {
    all.seen.reset(static_cast<std::uint64_t*>(std::calloc(std::size_t{1} << 18, 8)));
    if (!all.seen) {
        return false;
    }
    if (key != nullptr) {
        CountColour(all, *key);
        all.count = 0;
    }
    for (const std::uint32_t colour : n.order) {
        CountColour(all, colour);
    }
    return true;
}

ColorEntry EntryOfColour(std::uint32_t colour) {
    return ColorEntry{static_cast<std::uint8_t>(colour), static_cast<std::uint8_t>(colour >> 8),
                      static_cast<std::uint8_t>(colour >> 16)};
}

// The numbered picture: its table, and its pixels in memory, rows from the top.
void BecomeIndexed(SourceImage& picture, const Numbering& n, std::uint32_t key, Storage indices) {
    picture.isFullColor = 0;
    picture.colorTable = {};
    picture.colorTable[0] = EntryOfColour(key);
    for (std::size_t i = 0; i < n.order.size(); ++i) {
        picture.colorTable[i + 1] = EntryOfColour(n.order[i]);
    }
    picture.suppliedColors = static_cast<std::int32_t>(n.order.size() + 1);
    picture.pixels = PixelSource{PixelsInMemory{std::move(indices)}, true, IdentityMap(),
                                 std::move(picture.pixels.name)};
}

}  // namespace

bool IndexFullColorPicture(SourceImage& picture, std::size_t entries, std::int32_t keyRed,
                           std::int32_t keyGreen, std::int32_t keyBlue) {
    const char* path = picture.pixels.name.c_str();
    const auto inRange = [](std::int32_t c) { return c >= 0 && c <= 255; };
    // A key outside 0..255 matches no pixel; its place stays black.
    const bool keyValid = inRange(keyRed) && inRange(keyGreen) && inRange(keyBlue);
    const std::uint32_t key = keyValid ? static_cast<std::uint32_t>(keyBlue) |
                                             (static_cast<std::uint32_t>(keyGreen) << 8) |
                                             (static_cast<std::uint32_t>(keyRed) << 16)
                                       : 0;
    Storage indices = AllocateStorage(PixelCount(picture));
    const auto numbering = std::make_unique<Numbering>();
    if (!indices || !numbering) {
        Report(Message::NoMemoryToConvert, {path});
        return false;
    }
    Numbering& n = *numbering;
    n.colours.fill(kNoColour);
    n.room = entries - 1;
    // Entry 0 is the key colour's, whether or not the picture uses it, so that no other colour
    // can become transparent.
    if (keyValid) {
        Add(n, key, 0);
    }
    const std::size_t width = static_cast<std::size_t>(picture.width);
    ColourCount all;  // once there are too many colours, only counting them goes on
    const PixelWalk walk = VisitBands(picture, [&](const Band& band) {
        std::uint8_t* out = indices.get() + static_cast<std::size_t>(band.y0) * width;
        if (!all.seen && NumberBand(band, width, n, out)) {
            return true;
        }
        if (!all.seen && !StartCounting(n, keyValid ? &key : nullptr, all)) {
            Report(Message::NoMemoryToConvert, {path});
            return false;
        }
        CountBand(band, width, all);
        return true;
    });
    if (walk != PixelWalk::Finished) {
        return false;
    }
    if (all.seen) {
        Report(Message::TooManyColours,
               {path, all.count, entries == 16 ? "Index16" : "Index256", n.room});
        return false;
    }
    BecomeIndexed(picture, n, key, std::move(indices));
    return true;
}

}  // namespace bmp2tvx
