#include <gtest/gtest.h>

#include "image/bmp_reader.h"
#include "palette/color_table.h"
#include "tests/test_support.h"
#include "tileimage/tile_encoder.h"

namespace bmp2tvx::test {
namespace {

SourceImage Load24(std::int32_t width, std::int32_t height, const Bytes& bgrTopFirst) {
    BmpSpec spec;
    spec.width = width;
    spec.height = height;
    spec.bitCount = 24;
    spec.pixels = bgrTopFirst;
    const Bytes file = BuildBmp(spec);
    SourceImage image;
    EXPECT_TRUE(LoadBitmapFromMemory("c.bmp", file.data(), file.size(), image));
    return image;
}

// Colours are numbered in the order they first appear tile by tile, not row by row: in this
// 16 x 8 picture the right tile's top-left pixel (B) comes before the left tile's bottom-left
// pixel (C) in row order, but after it in tile order.
TEST(ColorTable, FirstAppearanceInTileOrder) {
    const ColorEntry a{10, 20, 30}, b{40, 50, 60}, c{70, 80, 90};
    Bytes pixels;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            const ColorEntry& e = (x == 8 && y == 0) ? b : (x == 0 && y == 7) ? c : a;
            pixels.insert(pixels.end(), {e.blue, e.green, e.red});
        }
    }
    SourceImage image = Load24(16, 8, pixels);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(BuildColorTable(image, 256, "c.bmp"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(image.isFullColor, 0);
    EXPECT_EQ(image.suppliedColors, 3);
    EXPECT_EQ(image.colorTable[0].red, 30);
    EXPECT_EQ(image.colorTable[1].red, 90);
    EXPECT_EQ(image.colorTable[2].red, 60);
    EXPECT_EQ(image.colorTable[3].red, 0);

    const Bytes file = EncodeTileImage(image, TargetFormat::Index256);
    Bytes left(64, 0), right(64, 0);
    left[56] = 1;  // bottom-left pixel: C
    right[0] = 2;  // top-left pixel: B
    EXPECT_EQ(Bytes(file.begin() + 520, file.begin() + 584), left);
    EXPECT_EQ(Bytes(file.begin() + 584, file.end()), right);
}

TEST(ColorTable, LimitIsTheLayoutsPaletteSize) {
    const struct {
        std::size_t colours, limit;
        const char* err;
    } cases[] = {
        {16, 16, ""},
        {17, 16, "c.bmp uses 17 colours; Index16 holds at most 16.\n"},
        {256, 256, ""},
        {257, 256, "c.bmp uses 257 colours; Index256 holds at most 256.\n"},
        {512, 256, "c.bmp uses 512 colours; Index256 holds at most 256.\n"},
    };
    for (const auto& c : cases) {
        Bytes pixels;
        for (std::size_t i = 0; i < 32 * 16; ++i) {
            const std::size_t colour = i % c.colours;
            pixels.insert(pixels.end(), {static_cast<std::uint8_t>(colour),
                                         static_cast<std::uint8_t>(colour >> 8), 1});
        }
        SourceImage image = Load24(32, 16, pixels);
        testing::internal::CaptureStderr();
        const bool built = BuildColorTable(image, c.limit, "c.bmp");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err) << c.colours;
        EXPECT_EQ(built, *c.err == '\0') << c.colours;
        EXPECT_EQ(image.isFullColor, built ? 0 : 1) << c.colours;
    }
}

}  // namespace
}  // namespace bmp2tvx::test
