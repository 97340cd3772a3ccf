#include <algorithm>
#include <tuple>

#include <gtest/gtest.h>

#include "picture_reader.h"
#include "test_support.h"
#include "tile_encoder.h"

namespace bmp2tvx::test {
namespace {

// What the encoder is handed for a picture written in `format` without a key colour: its own
// table's words and indices, in rows of tiles.
PixelCoding CodingOf(const SourceImage& image, TargetFormat format) {
    PixelCoding coding;
    coding.format = format;
    if (const auto* indexed = std::get_if<IndexedPicture>(&image.picture.colors)) {
        std::transform(indexed->table.begin(), indexed->table.end(), coding.palette.begin(),
                       [](const ColorEntry& c) { return ToColor15(c); });
    }
    return coding;
}

Bytes Encode(SourceImage image, TargetFormat format) {
    Bytes file;
    EXPECT_TRUE(EncodeTileImage(CodingOf(image, format),
                                RowOrder(image.picture.width, image.picture.height), image, file));
    return file;
}

TEST(Color15, DropsLowBitsOfEachComponent) {
    const struct {
        std::uint8_t blue, green, red;
        Color15 expected;
    } cases[] = {{0, 0, 255, 0x001F},
                 {0, 255, 0, 0x03E0},
                 {255, 0, 0, 0x7C00},
                 {255, 255, 255, 0x7FFF},
                 {0x10, 0x80, 0xFF, 0x0A1F},
                 {7, 7, 7, 0},
                 {8, 15, 16, (1 << 10) | (1 << 5) | 2}};
    for (const auto& c : cases) {
        EXPECT_EQ(ToColor15(c.blue, c.green, c.red), c.expected)
            << int(c.blue) << "," << int(c.green) << "," << int(c.red);
    }
}

// The header's size fields wrap modulo 65536; the format code comes first.
TEST(TileImageHeader, SizeFieldsWrap) {
    const struct {
        std::int32_t width, height;
        TargetFormat format;
        Bytes expected;
    } cases[] = {
        {16, 8, TargetFormat::Index16, {0, 0, 2, 0, 1, 0, 2, 0}},
        {240, 160, TargetFormat::FullColor16, {2, 0, 30, 0, 20, 0, 0x58, 0x02}},
        {2048, 2048, TargetFormat::Index256, {1, 0, 0, 1, 0, 1, 0, 0}},
        {524288, 8, TargetFormat::Index256, {1, 0, 0, 0, 1, 0, 0, 0}},
        {524296, 16, TargetFormat::Index256, {1, 0, 1, 0, 2, 0, 2, 0}},
        {0, 16, TargetFormat::Index16, {0, 0, 0, 0, 2, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        Bytes header(8);
        const TileImageHeader fields = MakeTileImageHeader(
            c.format, static_cast<std::uint32_t>(c.width), static_cast<std::uint32_t>(c.height));
        PutTileImageHeader(fields, header.data());
        EXPECT_EQ(header, c.expected) << c.width << " x " << c.height;
        const TileImageHeader back = GetTileImageHeader(header.data());
        EXPECT_EQ(
            std::tie(back.formatCode, back.tilesAcross, back.tilesDown, back.tileCount),
            std::tie(fields.formatCode, fields.tilesAcross, fields.tilesDown, fields.tileCount));
    }
}

// Four-bit tiles hold the left pixel in the low nibble (a pixel above 15 never reaches the
// encoder: the colour plan refuses it).
TEST(Tiles, FourBitPacking) {
    const struct {
        std::uint8_t left, right;
        int expected;
    } cases[] = {{1, 2, 0x21}, {15, 0, 0x0F}, {0, 15, 0xF0}};
    for (const auto& c : cases) {
        BmpSpec spec;
        spec.pixels.assign(64, 0);
        spec.pixels[0] = c.left;  // the top-left pixel
        spec.pixels[1] = c.right;
        const Bytes file = Encode(LoadBmp(spec), TargetFormat::Index16);
        ASSERT_EQ(file.size(), 8u + 32 + 32);
        const Bytes tile(file.begin() + 40, file.end());
        EXPECT_EQ(tile[0], c.expected);
        EXPECT_EQ(std::count(tile.begin(), tile.end(), 0), 31);
    }
}

// A 16 x 16 picture whose pixel at (x, y) is ((y / 8) * 2 + x / 8) * 16 + (y % 8) * 2 + (x % 8) / 4
// names its tile and position: tiles come out top row first, left to right, rows top down.
TEST(Tiles, OrderAndRowsFromTheTop) {
    BmpSpec spec;
    spec.width = 16;
    spec.height = 16;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            spec.pixels.push_back(
                static_cast<std::uint8_t>(((y / 8) * 2 + x / 8) * 16 + (y % 8) * 2 + (x % 8) / 4));
        }
    }
    for (bool topDown : {false, true}) {
        spec.topDown = topDown;
        const Bytes file = Encode(LoadBmp(spec), TargetFormat::Index256);
        ASSERT_EQ(file.size(), 8u + 512 + 4 * 64);
        for (std::size_t tile = 0; tile < 4; ++tile) {
            for (std::size_t i = 0; i < 64; ++i) {
                const std::size_t row = i / 8, column = i % 8;
                EXPECT_EQ(file[520 + 64 * tile + i], tile * 16 + row * 2 + column / 4)
                    << "tile " << tile << " byte " << i << (topDown ? " top-down" : "");
            }
        }
    }
}

// An 8-bit picture of 16 x 8 as Index16: header, 16 palette words, left tile, right tile.
TEST(TileImage, Index16WorkedExample) {
    BmpSpec spec;
    spec.width = 16;
    spec.height = 8;
    spec.table = {{0, 0, 255}, {255, 255, 255}};
    for (int i = 0; i < 128; ++i) {
        spec.pixels.push_back(static_cast<std::uint8_t>((i % 16) < 8 ? 1 : (i % 2)));
    }
    const Bytes file = Encode(LoadBmp(spec), TargetFormat::Index16);
    Bytes expected = {0, 0, 2, 0, 1, 0, 2, 0, 0x1F, 0x00, 0xFF, 0x7F};
    expected.resize(8 + 32, 0);
    expected.resize(8 + 32 + 32, 0x11);  // left tile: every pixel 1
    expected.resize(8 + 32 + 64, 0x10);  // right tile: 0, 1, 0, 1 ...
    EXPECT_EQ(file, expected);
}

TEST(TileImage, FullColorFromBothSourceKinds) {
    BmpSpec rgb;
    rgb.bitCount = 24;
    rgb.pixels.assign(8 * 8 * 3, 0);
    rgb.pixels[0] = 0x10;  // top-left pixel: blue 0x10, green 0x80, red 0xFF
    rgb.pixels[1] = 0x80;
    rgb.pixels[2] = 0xFF;
    rgb.pixels[8 * 8 * 3 - 1] = 0xFF;  // bottom-right pixel: red
    const Bytes direct = Encode(LoadBmp(rgb), TargetFormat::FullColor16);
    ASSERT_EQ(direct.size(), 8u + 128);
    EXPECT_EQ(direct[8], 0x1F);
    EXPECT_EQ(direct[9], 0x0A);
    EXPECT_EQ(direct[134], 0x1F);
    EXPECT_EQ(direct[135], 0x00);

    // The same picture as 8-bit, colours looked up in the table.
    BmpSpec indexed;
    indexed.table = {{0, 0, 0}, {0x10, 0x80, 0xFF}, {0, 0, 0xFF}};
    indexed.pixels.assign(64, 0);
    indexed.pixels[0] = 1;
    indexed.pixels[63] = 2;
    EXPECT_EQ(Encode(LoadBmp(indexed), TargetFormat::FullColor16), direct);
}

// The bytes do not depend on how small the blocks are that they pass through.
TEST(TileImage, BlockSizeDoesNotChangeTheBytes) {
    BmpSpec spec;
    spec.width = 40;
    spec.height = 24;
    spec.table = std::vector<ColorEntry>(256, ColorEntry{1, 2, 3});
    for (int i = 0; i < 40 * 24; ++i) {
        spec.pixels.push_back(static_cast<std::uint8_t>((i * 37) & 15));
    }
    SourceImage image = LoadBmp(spec);
    for (TargetFormat format :
         {TargetFormat::Index16, TargetFormat::Index256, TargetFormat::FullColor16}) {
        const Bytes whole = Encode(LoadBmp(spec), format);
        EXPECT_EQ(whole.size(), TileImageFileSize(format, 40, 24));
        for (std::size_t block : {64u, 100u, 4096u}) {
            Bytes pieces;
            Bytes scratch(block);
            EXPECT_TRUE(EmitTileImage(CodingOf(image, format), RowOrder(40, 24), image, scratch,
                                      [&](std::span<const std::uint8_t> b) {
                                          EXPECT_LE(b.size(), block);
                                          pieces.insert(pieces.end(), b.begin(), b.end());
                                      }));
            EXPECT_EQ(pieces, whole) << TargetFormatName(format) << " through " << block;
        }
    }
}

}  // namespace
}  // namespace bmp2tvx::test
