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
    // Pictures that carry alpha: the key colour and its entry, whether some pixel is transparent,
    // and whether entry 0 was lent to an opaque colour (see NumberNew).
    PackedColor key = kNoColor;
    std::optional<std::uint8_t> keyId;
    bool clear = false;
    bool zeroLent = false;
    bool keyless = false;  // --key=none: no colour but the transparent pixels' takes entry 0
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

// Gives a colour met for the first time its entry; false when there is no room left for it.
//
// Without alpha the key colour holds entry 0 from the start, and the others follow from 1. With
// alpha, whether the picture has transparent pixels is known only at the end, and with them entry
// 0 is theirs and every opaque colour, the key colour included, takes an entry from 1; without
// them, the key colour's pixels take entry 0 as in a picture without alpha. So transparent pixels
// take 0 and every opaque colour the next entry from 1, and once those are all given while no
// pixel has been transparent, entry 0 goes to the key colour when it comes, or once it has come,
// is lent to one more colour: in the end the key colour's pixels take 0 and that colour the last
// entry (IndexedPicture), or a transparent pixel finds no room.
template <bool kAlpha>
bool NumberNew(Numbering& n, PackedColor color, std::uint8_t& id) {
    if (kAlpha && color == kClear) {
        if (n.zeroLent) {
            return false;
        }
        n.clear = true;
        id = 0;
    } else if (n.next <= n.room) {
        id = static_cast<std::uint8_t>(n.next++);
    } else if (kAlpha && !n.clear && !n.zeroLent && (n.keyId || color == n.key)) {
        n.zeroLent = true;  // to the key colour itself, which keeps it, or to one more colour
        id = 0;
    } else {
        return false;
    }
    if (kAlpha && color == n.key) {
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
void ReportTooMany(const char* path, const Numbering& n, const ColorCount& all,
                   std::size_t entries) {
    const char* layout = entries == 16 ? "Index16" : "Index256";
    if (n.clear || n.keyless) {
        Report(Message::TooManyOpaqueColors, {path, all.count, layout, n.room});
        return;
    }
    const bool keyCounted = n.key != kNoColor && Counted(all, n.key);
    Report(Message::TooManyColors, {path, all.count - keyCounted, layout, n.room});
}

// The plan of the numbered picture: its table, and its pixels in memory, rows from the top.
// Transparent pixels take entry 0, or in a picture without any the key colour's do, and every
// other colour an entry from 1 in the order they first appeared. Only a picture that carries
// alpha, has no transparent pixel and has the key colour is renumbered as it is written: the key
// colour to 0, the colours numbered after it one entry down, and the one lent entry 0 to the last.
ColorPlan NumberedPlan(const Picture& picture, const Numbering& n, ColorEntry zero,
                       Storage indices) {
    std::array<ColorEntry, 256> table{};
    table[0] = zero;
    IndexMap map = IdentityMap();
    const bool keyToZero = n.keyId && *n.keyId != 0 && !n.clear;
    for (std::size_t i = 0; i < n.order.size(); ++i) {
        const std::uint8_t id = n.ids[i];
        if (id == 0 && !n.zeroLent) {
            continue;  // the transparent pixels, or the key colour's: entry 0
        }
        std::uint8_t entry = id;
        if (keyToZero) {
            const std::uint8_t key = *n.keyId;
            entry = id == key  ? 0
                    : id == 0  ? static_cast<std::uint8_t>(n.room)
                    : id > key ? static_cast<std::uint8_t>(id - 1)
                               : id;
        }
        map[id] = entry;
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
PixelWalk NumberPicture(SourceImage& image, Numbering& n, ColorCount& all,
                        std::uint8_t* indices) {
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

}  // namespace

std::optional<ColorPlan> NumberColors(SourceImage& image, std::size_t entries,
                                      const KeyRequest& key) {
    const Picture& picture = image.picture;
    const char* path = picture.name.c_str();
    Storage indices = AllocateStorage(PixelCount(picture));
    if (!indices) {
        Report(Message::NoMemoryToConvert, {path});
        return std::nullopt;
    }
    const bool alpha = std::get<TrueColorPicture>(picture.colors).alpha;
    const auto numbering = std::make_unique<Numbering>();
    Numbering& n = *numbering;
    n.room = entries - 1;
    n.keyless = key.keepIndices;
    n.key = key.color ? Pack(*key.color) : kNoColor;
    // Without alpha, entry 0 is the key colour's whether or not the picture uses it, so that no
    // other colour can become transparent.
    if (key.color && !alpha) {
        Record(n, n.key, 0);
    }
    ColorCount all;  // once there are too many colours, only counting them goes on
    const PixelWalk walk = alpha ? NumberPicture<true>(image, n, all, indices.get())
                                 : NumberPicture<false>(image, n, all, indices.get());
    if (walk != PixelWalk::Finished) {
        return std::nullopt;
    }
    if (all.seen) {
        ReportTooMany(path, n, all, entries);
        return std::nullopt;
    }
    return NumberedPlan(picture, n, key.color.value_or(ColorEntry{}), std::move(indices));
}

}  // namespace bmp2tvx
