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

// A transparent pixel, whatever its colour bytes: one more colour while pictures that carry alpha
// are numbered.
constexpr PackedColor kClear = 0x1000000;

// The colours met so far and their entries, in a small open-addressing table: at most 257
// colours (the key's and 256 others) in 1024 places, so a look-up rarely goes past its first
// place. The colour looked up last is remembered, as neighbouring pixels mostly share it.
struct Numbering {
    std::array<PackedColor, 1024> colors = kEmptyPlaces;
    std::array<std::uint8_t, 1024> entries{};
    std::vector<PackedColor> order;  // every colour numbered, in the order they first appeared
    std::vector<std::uint8_t> ids;   // and the entry each was given
    std::size_t room = 0;            // entries besides entry 0
    PackedColor lastColor = kNoColor;
    std::uint8_t lastEntry = 0;
    // Pictures that carry alpha: the key colour, the next entry from 1, whether entry 0 is
    // given, and whether some pixel is transparent.
    PackedColor key = kNoColor;
    std::size_t next = 1;
    bool zeroTaken = false;
    bool clear = false;
};

std::size_t PlaceOf(const Numbering& n, PackedColor color) {
    std::size_t place = (color * 0x9E3779B1u) >> 22;
    while (n.colors[place] != color && n.colors[place] != kNoColor) {
        place = (place + 1) & (n.colors.size() - 1);
    }
    return place;
}

void Record(Numbering& n, std::size_t place, PackedColor color, std::uint8_t id) {
    n.order.push_back(color);
    n.ids.push_back(id);
    n.colors[place] = color;
    n.entries[place] = id;
}

// The entry of `color`, through the colour looked up last; a colour met for the first time is
// numbered by `number`, which returns false when there is no room left for it.
template <typename Number>
inline bool Look(Numbering& n, PackedColor color, std::uint8_t& entry, const Number& number) {
    if (color == n.lastColor) {
        entry = n.lastEntry;
        return true;
    }
    const std::size_t place = PlaceOf(n, color);
    if (n.colors[place] == kNoColor && !number(place)) {
        return false;
    }
    n.lastColor = color;
    n.lastEntry = entry = n.entries[place];
    return true;
}

// Without alpha: the key colour's entry is 0 from the start, the others follow from 1.
inline bool EntryOf(Numbering& n, PackedColor color, std::uint8_t& entry) {
    return Look(n, color, entry, [&](std::size_t place) {
        if (n.order.size() == n.room) {
            return false;
        }
        Record(n, place, color, static_cast<std::uint8_t>(n.order.size() + 1));
        return true;
    });
}

// With alpha, whose transparent pixels are the colour kClear, which entry is transparent is known
// only at the end: entry 0 goes to the key colour when it appears, as without alpha, and the
// others from 1 on; once they are all given, entry 0 goes to a new colour if some pixel is
// transparent, since the key colour is then an opaque colour like any other, and the transparent
// pixels take entry 0 in the end (IndexedPicture).
inline bool EntryOfWithAlpha(Numbering& n, PackedColor color, std::uint8_t& entry) {
    return Look(n, color, entry, [&](std::size_t place) {
        std::uint8_t id = 0;
        if (color == n.key && !n.zeroTaken) {
            id = 0;
        } else if (n.next <= n.room) {
            id = static_cast<std::uint8_t>(n.next++);
        } else if (n.zeroTaken || (color != kClear && !n.clear)) {
            return false;
        }
        n.zeroTaken = n.zeroTaken || id == 0;
        n.clear = n.clear || color == kClear;
        Record(n, place, color, id);
        return true;
    });
}

// A pixel's colour: transparent pixels all alike when the picture carries alpha.
template <bool kAlpha>
inline PackedColor ColorAt(const std::uint8_t* pixel) {
    return kAlpha && pixel[3] == 0 ? kClear : Pack(pixel);
}

// Numbers one band's pixels in tile order, writing each pixel's entry to `out` (rows from the
// top, `width` bytes each). False when a colour finds no room.
template <bool kAlpha>
bool NumberBand(const Band& band, std::size_t width, Numbering& n, std::uint8_t* out) {
    constexpr std::size_t kBytes = kAlpha ? 4 : 3;
    for (std::size_t x0 = 0; x0 < width; x0 += 8) {
        const std::uint8_t* row = band.top + kBytes * x0;
        std::uint8_t* to = out + x0;
        for (int r = 0; r < 8; ++r, row += band.down, to += width) {
            for (std::size_t c = 0; c < 8; ++c) {
                const PackedColor color = ColorAt<kAlpha>(row + kBytes * c);
                if (!(kAlpha ? EntryOfWithAlpha(n, color, to[c]) : EntryOf(n, color, to[c]))) {
                    return false;
                }
            }
        }
    }
    return true;
}

// Every colour as one bit, for counting a picture with too many colours: 2^24 bits. calloc hands
// back fresh zero pages for a block this large, so only the pages a picture's colours touch cost
// anything. Transparent pixels are not a colour here.
struct ColorCount {
    std::unique_ptr<std::uint64_t, decltype(&std::free)> seen{nullptr, &std::free};
    std::size_t count = 0;
};

void CountColor(ColorCount& all, PackedColor color) {
    if (color == kClear) {
        return;
    }
    std::uint64_t& word = all.seen.get()[color >> 6];
    const std::uint64_t bit = std::uint64_t{1} << (color & 63);
    all.count += (word & bit) == 0;
    word |= bit;
}

bool Counted(const ColorCount& all, PackedColor color) {
    return (all.seen.get()[color >> 6] & (std::uint64_t{1} << (color & 63))) != 0;
}

template <bool kAlpha>
void CountBand(const Band& band, std::size_t width, Numbering& n, ColorCount& all) {
    for (int r = 0; r < 8; ++r) {
        const std::uint8_t* row = band.top + r * band.down;
        for (std::size_t x = 0; x < width; ++x) {
            const PackedColor color = ColorAt<kAlpha>(row + (kAlpha ? 4 : 3) * x);
            n.clear = n.clear || color == kClear;
            CountColor(all, color);
        }
    }
}

// Switches from numbering to counting: every colour numbered so far is counted.
bool StartCounting(const Numbering& n, ColorCount& all) {
    all.seen.reset(static_cast<std::uint64_t*>(std::calloc(std::size_t{1} << 18, 8)));
    for (std::size_t i = 0; all.seen && i < n.order.size(); ++i) {
        CountColor(all, n.order[i]);
    }
    return all.seen != nullptr;
}

// The refusal of a picture with more colours than room: the key colour is not counted, unless
// some pixels are transparent; then they take entry 0, and every opaque colour counts.
void ReportTooMany(const char* path, const Numbering& n, const ColorCount& all,
                   std::size_t entries) {
    const char* layout = entries == 16 ? "Index16" : "Index256";
    if (n.clear) {
        Report(Message::TooManyOpaqueColors, {path, all.count, layout, n.room});
        return;
    }
    const bool keyCounted = n.key != kNoColor && Counted(all, n.key);
    Report(Message::TooManyColors, {path, all.count - keyCounted, layout, n.room});
}

// The numbered picture: its table, and its pixels in memory, rows from the top. Transparent
// pixels, where there are any, take entry 0, and every opaque colour an entry from 1 in the order
// they first appeared; the renumbering that this takes is applied as the pixels are read.
SourceImage IndexedPicture(const SourceImage& picture, const Numbering& n, ColorEntry zero,
                           Storage indices) {
    SourceImage indexed;
    indexed.width = picture.width;
    indexed.height = picture.height;
    indexed.colorTable[0] = zero;
    IndexMap map = IdentityMap();
    std::size_t next = 1;
    for (std::size_t i = 0; i < n.order.size(); ++i) {
        if (n.order[i] == kClear || (!n.clear && n.ids[i] == 0)) {
            map[n.ids[i]] = 0;  // the transparent pixels, or else the key colour's
            continue;
        }
        map[n.ids[i]] = static_cast<std::uint8_t>(next);
        indexed.colorTable[next++] = Unpack(n.order[i]);
    }
    indexed.suppliedColors = static_cast<std::int32_t>(next);
    indexed.pixels =
        PixelSource{PixelsInMemory{std::move(indices)}, true, map, picture.pixels.name};
    return indexed;
}

template <bool kAlpha>
PixelWalk NumberPicture(const SourceImage& picture, Numbering& n, ColorCount& all,
                        std::uint8_t* indices) {
    const std::size_t width = static_cast<std::size_t>(picture.width);
    return VisitBands(picture, [&](const Band& band) {
        std::uint8_t* out = indices + static_cast<std::size_t>(band.y0) * width;
        if (!all.seen && NumberBand<kAlpha>(band, width, n, out)) {
            return true;
        }
        if (!all.seen && !StartCounting(n, all)) {
            Report(Message::NoMemoryToConvert, {picture.pixels.name});
            return false;
        }
        CountBand<kAlpha>(band, width, n, all);
        return true;
    });
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
    n.key = key ? Pack(*key) : kNoColor;
    // Without alpha, entry 0 is the key colour's whether or not the picture uses it, so that no
    // other colour can become transparent.
    if (key && !picture.carriesAlpha) {
        n.colors[PlaceOf(n, n.key)] = n.key;  // its entry is 0
    }
    ColorCount all;  // once there are too many colours, only counting them goes on
    const PixelWalk walk = picture.carriesAlpha
                               ? NumberPicture<true>(picture, n, all, indices.get())
                               : NumberPicture<false>(picture, n, all, indices.get());
    if (walk != PixelWalk::Finished) {
        return std::nullopt;
    }
    if (all.seen) {
        ReportTooMany(path, n, all, entries);
        return std::nullopt;
    }
    return IndexedPicture(picture, n, key.value_or(ColorEntry{}), std::move(indices));
}

}  // namespace bmp2tvx
