#include <tuple>

#include <gtest/gtest.h>

#include "color_table.h"
#include "picture_reader.h"
#include "test_support.h"
#include "tile_encoder.h"

namespace bmp2tvx::test {
namespace {

SourceImage Load24(std::int32_t width, std::int32_t height, const Bytes& bgrTopFirst) {
    BmpSpec spec;
    spec.width = width;
    spec.height = height;
    spec.bitCount = 24;
    spec.pixels = bgrTopFirst;
    return LoadBmp(spec, "c.bmp");
}

ColorEntry Color(std::size_t i) {  // never black, never magenta
    return {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8), 1};
}

// Colours are numbered from entry 1 in the order they first appear tile by tile, not row by row:
// in this 16 x 8 picture the right tile's top-left pixel (B) comes before the left tile's
// bottom-left pixel (C) in row order, but after it in tile order. Entry 0 is the key's.
TEST(ColorTable, FirstAppearanceInTileOrder) {
    const ColorEntry a{10, 20, 30}, b{40, 50, 60}, c{70, 80, 90};
    Bytes pixels;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            const ColorEntry& e = (x == 8 && y == 0) ? b : (x == 0 && y == 7) ? c : a;
            pixels.insert(pixels.end(), {e.blue, e.green, e.red});
        }
    }
    testing::internal::CaptureStderr();
    const std::optional<SourceImage> indexed =
        IndexFullColorPicture(Load24(16, 8, pixels), 256, ColorEntry{});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_TRUE(indexed);
    const SourceImage& image = *indexed;
    EXPECT_EQ(image.kind, SourceKind::Index);
    EXPECT_EQ(image.suppliedColors, 4);
    EXPECT_EQ(image.colorTable[0].red, 0);
    EXPECT_EQ(image.colorTable[1].red, 30);
    EXPECT_EQ(image.colorTable[2].red, 90);
    EXPECT_EQ(image.colorTable[3].red, 60);
    EXPECT_EQ(image.colorTable[4].red, 0);

    const Bytes file = EncodeTileImage(image, TargetFormat::Index256);
    Bytes left(64, 1), right(64, 1);
    left[56] = 2;  // bottom-left pixel: C
    right[0] = 3;  // top-left pixel: B
    EXPECT_EQ(Bytes(file.begin() + 520, file.begin() + 584), left);
    EXPECT_EQ(Bytes(file.begin() + 584, file.end()), right);
}

// Entry 0 always holds the key colour, and exactly the pixels of that colour use it; every other
// colour is counted against the room left beside it.
TEST(ColorTable, KeyColorTakesEntryZero) {
    constexpr ColorEntry kBlack{0, 0, 0};
    constexpr ColorEntry kNearBlack{7, 7, 7};
    constexpr ColorEntry kMagenta{255, 0, 255};
    struct Case {
        const char* name;
        std::vector<ColorEntry> colours;  // pixel i of 16 x 8 takes colours[i % size]
        std::int32_t red, green, blue;
        std::size_t entries;
        const char* err;                // "" when it converts
        std::vector<ColorEntry> table;  // expected entries 0, 1, ... (the rest black)
    };
    std::vector<ColorEntry> fifteen;
    for (std::size_t i = 0; i < 15; ++i) {
        fifteen.push_back(Color(i + 1));
    }
    std::vector<ColorEntry> fifteenAndKey = fifteen;
    fifteenAndKey.insert(fifteenAndKey.begin() + 6, kBlack);
    std::vector<ColorEntry> sixteen = fifteen;
    sixteen.push_back(Color(99));
    std::vector<ColorEntry> withKeyTable = {kBlack};
    withKeyTable.insert(withKeyTable.end(), fifteen.begin(), fifteen.end());
    std::vector<ColorEntry> sixteenTable = withKeyTable;
    sixteenTable.push_back(Color(99));
    const Case cases[] = {
        {"key present",
         {Color(5), kMagenta, Color(6)},
         255,
         0,
         255,
         16,
         "",
         {kMagenta, Color(5), Color(6)}},
        {"key absent: entry 0 unused",
         {Color(5), Color(6)},
         0,
         0,
         0,
         16,
         "",
         {kBlack, Color(5), Color(6)}},
        {"15 colours and the key, Index16", fifteenAndKey, 0, 0, 0, 16, "", withKeyTable},
        {"15 colours without the key, Index16", fifteen, 0, 0, 0, 16, "", withKeyTable},
        {"16 colours without the key, Index16",
         sixteen,
         0,
         0,
         0,
         16,
         "c.bmp uses 16 colours besides the key colour; Index16 has room for 15.\n",
         {}},
        {"16 colours without the key, Index256", sixteen, 0, 0, 0, 256, "", sixteenTable},
        {"near black against a black key",
         {kNearBlack, kBlack},
         0,
         0,
         0,
         256,
         "",
         {kBlack, kNearBlack}},
        {"key red 300 matches nothing",
         {kBlack, Color(3)},
         300,
         0,
         0,
         256,
         "",
         {kBlack, kBlack, Color(3)}},
        {"key blue -1 matches nothing", {kMagenta}, 255, 0, -1, 16, "", {kBlack, kMagenta}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes pixels;
        for (std::size_t i = 0; i < 16 * 8; ++i) {
            const ColorEntry& e = c.colours[i % c.colours.size()];
            pixels.insert(pixels.end(), {e.blue, e.green, e.red});
        }
        testing::internal::CaptureStderr();
        const std::optional<SourceImage> indexed = IndexFullColorPicture(
            Load24(16, 8, pixels), c.entries, MakeKeyColor(c.red, c.green, c.blue));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
        ASSERT_EQ(indexed.has_value(), *c.err == '\0');
        if (!indexed) {
            continue;
        }
        const SourceImage& image = *indexed;
        EXPECT_EQ(image.kind, SourceKind::Index);
        EXPECT_EQ(image.suppliedColors, static_cast<std::int32_t>(c.table.size()));
        for (std::size_t i = 0; i < 256; ++i) {
            const ColorEntry want = i < c.table.size() ? c.table[i] : kBlack;
            const ColorEntry& got = image.colorTable[i];
            EXPECT_EQ(std::tie(got.blue, got.green, got.red),
                      std::tie(want.blue, want.green, want.red))
                << "entry " << i;
        }
        // Every pixel keeps its colour, and only the key colour's pixels use entry 0.
        const bool keyInRange = c.red >= 0 && c.red <= 255 && c.blue >= 0 && c.blue <= 255;
        const Bytes rows = RowsFromTop(image);
        for (std::size_t i = 0; i < 16 * 8; ++i) {
            const std::uint8_t index = rows[i];
            const ColorEntry& was = c.colours[i % c.colours.size()];
            const ColorEntry& now = image.colorTable[index];
            EXPECT_EQ(std::tie(now.blue, now.green, now.red),
                      std::tie(was.blue, was.green, was.red))
                << "pixel " << i;
            const bool isKey =
                keyInRange && was.red == c.red && was.green == c.green && was.blue == c.blue;
            EXPECT_EQ(index == 0, isKey) << "pixel " << i;
        }
    }
}

TEST(ColorTable, RefusalGivesCountAndRoom) {
    const struct {
        std::size_t colours, entries;
        const char* err;
    } cases[] = {
        {15, 16, ""},
        {17, 16, "c.bmp uses 17 colours besides the key colour; Index16 has room for 15.\n"},
        {255, 256, ""},
        {256, 256, "c.bmp uses 256 colours besides the key colour; Index256 has room for 255.\n"},
        {512, 256, "c.bmp uses 512 colours besides the key colour; Index256 has room for 255.\n"},
    };
    for (const auto& c : cases) {
        Bytes pixels;
        for (std::size_t i = 0; i < 32 * 16; ++i) {
            const ColorEntry e = Color(i % c.colours);
            pixels.insert(pixels.end(), {e.blue, e.green, e.red});
        }
        testing::internal::CaptureStderr();
        const std::optional<SourceImage> indexed =
            IndexFullColorPicture(Load24(32, 16, pixels), c.entries, ColorEntry{});
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err) << c.colours;
        EXPECT_EQ(indexed.has_value(), *c.err == '\0') << c.colours;
    }
}

}  // namespace
}  // namespace bmp2tvx::test
