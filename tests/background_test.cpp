// --map, run as a user runs it: the background drawn back from the tile image file and the map
// file, as the handheld shows them, is the picture, transparent exactly where it should be.
#include <functional>

#include <gtest/gtest.h>

#include "map_file.h"
#include "test_support.h"
#include "tile_reader.h"
#ifdef BMP2TVX_READS_PNG
#include "png_support.h"
#endif

namespace bmp2tvx::test {
namespace {

// A background of `across` x `down` cells, each one of `patterns` 8 x 8 patterns flipped one of
// four ways: an index a pixel, whose group of 16 (index / 16) is its pattern's, and whose entry
// 0 in the group (index % 16 == 0) is transparent. Each pattern uses all 16 entries of its group.
struct Background {
    std::int32_t across, down, patterns, groups;
    std::int32_t Width() const { return 8 * across; }
    std::int32_t Height() const { return 8 * down; }
    std::uint8_t At(std::int32_t x, std::int32_t y) const {
        const std::int32_t cell = x / 8 + y / 8 * across, p = (cell * 5 + cell / across) % patterns;
        const std::int32_t flip = (cell + cell / 3) % 4;
        const std::int32_t c = flip & 1 ? 7 - x % 8 : x % 8, r = flip & 2 ? 7 - y % 8 : y % 8;
        return static_cast<std::uint8_t>(16 * (p % groups) + (c * 3 + r * 5 + p * 7 + c * r) % 16);
    }
};

ColorEntry Colour(std::uint8_t index) {
    return {static_cast<std::uint8_t>(index * 29 + 17), static_cast<std::uint8_t>(index * 3),
            static_cast<std::uint8_t>(255 - index)};
}

// The picture in each form: indices of an 8-bit BMP (`keepGroups`: as they are; else every
// transparent pixel at entry 0, black, the key), a 24-bit BMP on a magenta key, an RGBA PNG.
enum class Form { Indexed, IndexedGroups, Keyed, Rgba };

Bytes Picture(const Background& b, Form form) {
    BmpSpec spec;
    spec.width = b.Width();
    spec.height = b.Height();
    for (std::int32_t i = 0; i < 256; ++i) {
        spec.table.push_back(i % 16 == 0 && form == Form::Indexed
                                 ? ColorEntry{}
                                 : Colour(static_cast<std::uint8_t>(i)));
    }
#ifdef BMP2TVX_READS_PNG
    PngSpec png{static_cast<std::uint32_t>(spec.width),
                static_cast<std::uint32_t>(spec.height),
                6,
                8,
                false,
                {},
                {},
                {}};
#endif
    for (std::int32_t y = 0; y < spec.height; ++y) {
        for (std::int32_t x = 0; x < spec.width; ++x) {
            const std::uint8_t v = b.At(x, y);
            const bool clear = v % 16 == 0;
            const ColorEntry c = clear && form == Form::Keyed ? ColorEntry{255, 0, 255} : Colour(v);
            if (form == Form::Keyed) {
                spec.pixels.insert(spec.pixels.end(), {c.blue, c.green, c.red});
            } else {
                spec.pixels.push_back(clear && form == Form::Indexed ? 0 : v);
            }
#ifdef BMP2TVX_READS_PNG
            png.samples.insert(png.samples.end(), {c.red, c.green, c.blue,
                                                   static_cast<std::uint8_t>(clear ? 0 : 255)});
#endif
        }
    }
    spec.bitCount = form == Form::Keyed ? 24 : 8;
    spec.table = form == Form::Keyed ? std::vector<ColorEntry>{} : spec.table;
#ifdef BMP2TVX_READS_PNG
    if (form == Form::Rgba) {
        return BuildPng(png);
    }
#endif
    return BuildBmp(spec);
}

TEST(Backgrounds, DrawnBackFromTilesAndMapIsThePicture) {
    const Background two{8, 6, 5, 1}, three{12, 8, 9, 3};
    const struct {
        const char* name;
        Background background;
        Form form;
        std::vector<std::string> flags;
        std::uint32_t tileBase, bankBase;
        std::size_t tiles, banks;  // 0: not checked
    } cases[] = {
        {"8-bit, all four flips", two, Form::Indexed, {"-c8", "--map"}, 0, 0, 5, 0},
        {"8-bit, affine: flips are other tiles",
         two,
         Form::Indexed,
         {"-c8", "--map=affine"},
         0,
         0,
         0,
         0},
        {"8-bit, packed banks", three, Form::Indexed, {"-c4", "--map"}, 0, 0, 0, 3},
        {"8-bit, its own banks kept",
         three,
         Form::IndexedGroups,
         {"-c4", "--key=none", "--map"},
         0,
         0,
         0,
         3},
        {"24-bit on a magenta key, packed",
         three,
         Form::Keyed,
         {"-c4", "--key=FF00FF", "--map", "--tile-base=100", "--bank-base=5"},
         100,
         5,
         0,
         3},
        {"24-bit, affine from tile 50",
         two,
         Form::Keyed,
         {"-c8", "--key=#ff00FF", "--map=affine", "--tile-base=50"},
         50,
         0,
         0,
         0},
#ifdef BMP2TVX_READS_PNG
        {"RGBA, packed banks from bank 13",
         three,
         Form::Rgba,
         {"-c4", "--map", "--bank-base=13"},
         0,
         13,
         0,
         3},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "bg.pic", Picture(c.background, c.form));
        std::vector<std::string> args = c.flags;
        args.push_back("bg.pic");
        const RunResult r = RunTool(args, dir.path);
        ASSERT_EQ(r.status, 0) << r.err;
        const Bytes tvx = ReadFile(dir / "bg.tvx"), tvm = ReadFile(dir / "bg.tvm");
        TileImageView tiles;
        MapView map;
        ASSERT_TRUE(ParseTileImage("bg.tvx", tvx, tiles));
        ASSERT_TRUE(ReadMapView(tvm, map));
        EXPECT_EQ(tiles.tilesDown, 1u);
        EXPECT_TRUE(c.tiles == 0 || tiles.tilesAcross == c.tiles) << tiles.tilesAcross;
        EXPECT_TRUE(c.banks == 0 || map.banks.size() == 32 * c.banks) << map.banks.size() / 32;
        const Background& b = c.background;
        std::vector<std::uint8_t> drawn(BackgroundRgbaBytes(map));
        ASSERT_EQ(RenderBackground(tiles, map, c.tileBase, c.bankBase, drawn.data()),
                  std::size_t{map.tilesAcross} * map.tilesDown);
        ASSERT_EQ(drawn.size(), 4u * b.Width() * b.Height());
        for (std::int32_t i = 0; i < b.Width() * b.Height(); ++i) {
            const std::uint8_t v = b.At(i % b.Width(), i / b.Width());
            const auto shown = ColorWordToRgba(ToColor15(Colour(v)));
            const Bytes expected =
                v % 16 == 0 ? Bytes{0} : Bytes{shown[0], shown[1], shown[2], 255};
            const Bytes got(drawn.begin() + 4 * i + (v % 16 == 0 ? 3 : 0),
                            drawn.begin() + 4 * i + 4);
            ASSERT_EQ(got, expected) << "pixel " << i % b.Width() << "," << i / b.Width();
        }
    }
}

}  // namespace
}  // namespace bmp2tvx::test
