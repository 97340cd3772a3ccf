#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "messages.h"
#include "pixels.h"
#include "plan_parts.h"

namespace bmp2tvx {
namespace {

// A colour packed into one number, blue in the low byte, for looking up and comparing at once.
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

// A transparent pixel, whatever its colour bytes: one more colour while pictures that carry alpha
// are numbered, and the only one above 24 bits.
constexpr PackedColor kClear = 0x1000000;

// The entry of every colour met so far, found in two steps: the colour's top 16 bits choose a
// block of 256 places, and the low 8 bits a place in it, holding the entry + 1 (0: not met).
// Block 0 is all zeros and stands for every block not yet made, so that a look-up takes two loads
// and no other test; a picture of at most 257 colours makes at most 258 blocks (129 KiB).
constexpr std::size_t kBlockBits = 8;
constexpr std::size_t kBlockPlaces = std::size_t{1} << kBlockBits;

struct Numbering {
    std::array<std::uint16_t, (kClear >> kBlockBits) + 1> blockOf{};  // 0: not made
    std::vector<std::uint16_t> places = std::vector<std::uint16_t>(kBlockPlaces);
    std::vector<PackedColor> order;  // every colour numbered, in the order they first appeared
    std::vector<std::uint8_t> ids;   // and the entry each was given
    std::size_t room = 0;            // entries besides entry 0
    std::size_t next = 1;            // the next entry to give from 1 up
    PackedColor key = kNoColor;
    std::optional<std::uint8_t> keyId;  // the key colour's, where it was numbered as it came
    bool clear = false;                 // some pixel is transparent
};

void Record(Numbering& n, PackedColor color, std::uint8_t id) {
    std::uint16_t& block = n.blockOf[color >> kBlockBits];
    if (block == 0) {
        block = static_cast<std::uint16_t>(n.places.size() / kBlockPlaces);
        n.places.resize(n.places.size() + kBlockPlaces);
    }
    n.places[static_cast<std::size_t>(block) << kBlockBits | (color & (kBlockPlaces - 1))] =
        static_cast<std::uint16_t>(id + 1);
    n.order.push_back(color);
    n.ids.push_back(id);
}

// Gives a colour met for the first time the next entry from 1, and a transparent pixel entry 0;
// false when there is no entry left for it.
template <bool kAlpha>
bool NumberNew(Numbering& n, PackedColor color, std::uint8_t& id) {
    if (kAlpha && color == kClear) {
        n.clear = true;
        id = 0;
    } else if (n.next <= n.room) {
        id = static_cast<std::uint8_t>(n.next++);
    } else {
        return false;
    }
    if (color == n.key) {
        n.keyId = id;
    }
    Record(n, color, id);
    return true;
}

// A pixel's colour: transparent pixels all alike when the picture carries alpha. `more` says that
// a byte follows the pixel's three, so that its colour can be read in one load.
template <bool kAlpha>
inline PackedColor ColorAt(const std::uint8_t* pixel, bool more) {
    if (kAlpha || more) {
        const std::uint32_t word = LoadLittle32(pixel);  // blue, green, red, and alpha or more
        return !kAlpha ? word & 0xFFFFFF : word >> 24 == 0 ? kClear : word & 0xFFFFFF;
    }
    return Pack(pixel);
}

// The place of `color` in the tables that `blockOf` and `places` point to.
inline std::uint16_t PlaceOf(const std::uint16_t* blockOf, const std::uint16_t* places,
                             PackedColor color) {
    return places[static_cast<std::size_t>(blockOf[color >> kBlockBits]) << kBlockBits |
                  (color & (kBlockPlaces - 1))];
}

// Numbers the eight pixels of one row of a tile into `to`. All eight are first looked up at once,
// which compilers lay out as straight code; only a row with a colour not met before is taken
// again pixel by pixel. False when a colour finds no room.
template <bool kAlpha>
bool NumberTileRow(const std::uint8_t* row, Numbering& n, std::uint8_t* to) {
    constexpr std::size_t kBytes = kAlpha ? 4 : 3;
    const std::uint16_t* blockOf = n.blockOf.data();
    const std::uint16_t* places = n.places.data();
    bool known = true;
    for (std::size_t c = 0; c < 8; ++c) {
        const std::uint16_t place =
            PlaceOf(blockOf, places, ColorAt<kAlpha>(row + kBytes * c, c < 7));
        known &= place != 0;
        to[c] = static_cast<std::uint8_t>(place - 1);
    }
    if (known) {
        return true;
    }
    for (std::size_t c = 0; c < 8; ++c) {
        const PackedColor color = ColorAt<kAlpha>(row + kBytes * c, c < 7);
        const std::uint16_t place = PlaceOf(blockOf, n.places.data(), color);
        if (place != 0) {
            to[c] = static_cast<std::uint8_t>(place - 1);
        } else if (!NumberNew<kAlpha>(n, color, to[c])) {
            return false;
        }
    }
    return true;
}

// Numbers one band's pixels in tile order, writing each pixel's entry to `out` (rows from the
// top, `width` bytes each). False when a colour finds no room.
template <bool kAlpha>
bool NumberBand(const Strip& band, std::size_t width, Numbering& n, std::uint8_t* out) {
    constexpr std::size_t kBytes = kAlpha ? 4 : 3;
    for (std::size_t x0 = 0; x0 < width; x0 += 8) {
        const std::uint8_t* row = band.top + kBytes * x0;
        std::uint8_t* to = out + x0;
        for (int r = 0; r < 8; ++r, row += band.down, to += width) {
            if (!NumberTileRow<kAlpha>(row, n, to)) {
                return false;
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
void CountBand(const Strip& band, std::size_t width, Numbering& n, ColorCount& all) {
    for (int r = 0; r < 8; ++r) {
        const std::uint8_t* row = band.top + r * band.down;
        for (std::size_t x = 0; x < width; ++x) {
            const PackedColor color = ColorAt<kAlpha>(row + (kAlpha ? 4 : 3) * x, false);
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
void ReportTooMany(const char* path, const Numbering& n, const ColorCount& all, std::size_t entries,
                   bool keyless) {
    const char* layout = entries == 16 ? "Index16" : "Index256";
    if (n.clear || keyless) {
        Report(Message::TooManyOpaqueColors, {path, all.count, layout, n.room});
        return;
    }
    const bool keyCounted = n.key != kNoColor && Counted(all, n.key);
    Report(Message::TooManyColors, {path, all.count - keyCounted, layout, n.room});
}

// The plan of the numbered picture: its table, and its pixels in memory, rows from the top.
// Transparent pixels take entry 0, or in a picture without any the key colour's do, and every
// other colour an entry from 1 in the order they first appeared. A picture that carries alpha
// but has no transparent pixel had its key colour numbered as it came: it is renumbered as it is
// written, the key colour to 0 and the colours numbered after it one entry down.
ColorPlan NumberedPlan(const Picture& picture, const Numbering& n, ColorEntry zero,
                       Storage indices) {
    std::array<ColorEntry, 256> table{};
    table[0] = zero;
    IndexMap map = IdentityMap();
    const std::uint8_t key = n.clear ? 0 : n.keyId.value_or(0);  // 0: nothing moves
    for (std::size_t i = 0; i < n.order.size(); ++i) {
        std::uint8_t entry = n.ids[i];
        if (key != 0 && entry == key) {
            entry = 0;
        } else if (key != 0 && entry > key) {
            --entry;
        }
        map[n.ids[i]] = entry;
        if (entry != 0) {
            table[entry] = Unpack(n.order[i]);
        }
    }
    ColorPlan plan;
    plan.coding.palette = PaletteWords(table);
    plan.coding.map = map;
    plan.numbered = NumberedPicture(picture, table, std::move(indices));
    return plan;
}

template <bool kAlpha>
PixelWalk NumberPicture(SourceImage& image, Numbering& n, ColorCount& all, std::uint8_t* indices) {
    const std::size_t width = static_cast<std::size_t>(image.picture.width);
    return VisitBands(image, [&](const Strip& band) {
        std::uint8_t* out = indices + static_cast<std::size_t>(band.y0) * width;
        if (!all.seen && NumberBand<kAlpha>(band, width, n, out)) {
            return true;
        }
        if (!all.seen && !StartCounting(n, all)) {
            Report(Message::NoMemoryToConvert, {image.picture.name});
            return false;
        }
        CountBand<kAlpha>(band, width, n, all);
        return true;
    });
}

// Numbers the picture into `indices`, with the key colour at entry 0 from the start when
// `keyAtZero`; `all` counts its colours once they are too many.
bool Number(SourceImage& image, std::size_t entries, const KeyRequest& key, bool keyAtZero,
            std::uint8_t* indices, std::unique_ptr<Numbering>& n, ColorCount& all) {
    n = std::make_unique<Numbering>();
    all = ColorCount{};
    n->room = entries - 1;
    n->key = key.color ? Pack(*key.color) : kNoColor;
    if (keyAtZero) {
        Record(*n, n->key, 0);
    }
    const PixelWalk walk = BytesPerPixel(image.picture) == 4
                               ? NumberPicture<true>(image, *n, all, indices)
                               : NumberPicture<false>(image, *n, all, indices);
    return walk == PixelWalk::Finished;
}

}  // namespace

std::optional<ColorPlan> NumberColors(SourceImage& image, std::size_t entries,
                                      const KeyRequest& key) {
    const Picture& picture = image.picture;
    Storage indices = AllocateStorage(PixelCount(picture));
    if (!indices) {
        Report(Message::NoMemoryToConvert, {picture.name});
        return std::nullopt;
    }
    // Without alpha, entry 0 is the key colour's whether or not the picture uses it, so that no
    // other colour can become transparent. With alpha it is the transparent pixels', and only a
    // picture found to have none gives it to the key colour: numbered again so when the key's
    // entry is what the other colours need.
    const bool alpha = BytesPerPixel(picture) == 4;
    std::unique_ptr<Numbering> n;
    ColorCount all;
    if (!Number(image, entries, key, key.color && !alpha, indices.get(), n, all) ||
        (all.seen && alpha && !n->clear && key.color && Counted(all, n->key) &&
         all.count <= entries && !Number(image, entries, key, true, indices.get(), n, all))) {
        return std::nullopt;
    }
    if (all.seen) {
        ReportTooMany(picture.name.c_str(), *n, all, entries, key.keepIndices);
        return std::nullopt;
    }
    return NumberedPlan(picture, *n, key.color.value_or(ColorEntry{}), std::move(indices));
}

}  // namespace bmp2tvx
