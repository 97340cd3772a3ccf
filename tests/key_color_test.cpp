#include <gtest/gtest.h>

#include "test_support.h"
#include "tile_image.h"

namespace bmp2tvx::test {
namespace {

constexpr ColorEntry kBlack{0, 0, 0};
constexpr ColorEntry kMagenta{255, 0, 255};  // blue, green, red

// The whole run with a key colour, against a file worked out by hand.
TEST(KeyColor, EndToEndWithKeyFlags) {
    BmpSpec spec;  // 8 x 8: black, white, magenta, red
    spec.table = {kBlack, {255, 255, 255}, kMagenta, {0, 0, 255}};
    for (int i = 0; i < 64; ++i) {
        spec.pixels.push_back(static_cast<std::uint8_t>(i % 4));
    }
    const Bytes file = ConvertInMemory(BuildBmp(spec), {"-r255", "-g0", "-b255", "-c4"});
    // Magenta (entry 2) trades places with black (entry 0): the row 0 1 2 3 0 1 2 3 becomes
    // 2 1 0 3 2 1 0 3, packed two to a byte as 0x12 0x30 0x12 0x30.
    Bytes expected = {0,    0,    1,    0,    1, 0, 1, 0,  // header
                      0x1F, 0x7C, 0xFF, 0x7F,              // magenta, white
                      0x00, 0x00, 0x1F, 0x00};             // black, red
    expected.resize(8 + 32, 0);  // entries 4 to 15: not in the file, black
    for (int i = 0; i < 16; ++i) {
        expected.insert(expected.end(), {0x12, 0x30});
    }
    EXPECT_EQ(file, expected);
}

// A 24-bit picture written as tiles: a red left tile and a black right tile. Entry 0 is the key
// colour's whether or not the picture has it, so a missing key makes nothing transparent.
TEST(KeyColor, EndToEndTwentyFourBitAsTiles) {
    BmpSpec spec;
    spec.width = 16;
    spec.bitCount = 24;
    for (int i = 0; i < 128; ++i) {
        const bool left = i % 16 < 8;
        spec.pixels.insert(spec.pixels.end(), {0, 0, static_cast<std::uint8_t>(left ? 255 : 0)});
    }
    const Bytes bmp = BuildBmp(spec);
    const struct {
        const char* name;
        std::vector<std::string> flags;
        Bytes palette;  // the first words, the rest black
        std::uint8_t left, right;
    } cases[] = {
        {"black key", {"-c4"}, {0x00, 0x00, 0x1F, 0x00}, 0x11, 0x00},
        {"red key", {"-c4", "-r255"}, {0x1F, 0x00, 0x00, 0x00}, 0x00, 0x11},
        {"key absent", {"-c4", "-g255"}, {0xE0, 0x03, 0x1F, 0x00, 0x00, 0x00}, 0x11, 0x22},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes expected(8 + 32 + 64, 0);
        const Bytes header = {0, 0, 2, 0, 1, 0, 2, 0};
        std::copy(header.begin(), header.end(), expected.begin());
        std::copy(c.palette.begin(), c.palette.end(), expected.begin() + 8);
        std::fill(expected.begin() + 40, expected.begin() + 72, c.left);
        std::fill(expected.begin() + 72, expected.end(), c.right);
        EXPECT_EQ(ConvertInMemory(bmp, c.flags), expected);
    }
}

// A picture saved by Pillow, which pads a 16-colour palette to 256 entries with black: its black
// background must become transparent, not an unused copy of black.
TEST(KeyColor, PillowPaddedPaletteBackgroundIsTransparent) {
#ifdef _WIN32
    GTEST_SKIP() << "the picture is made by a Python with Pillow, which the Windows tests do not "
                    "look for";
#endif
    TempDir dir;
    const char* script =
        "from PIL import Image, ImageDraw\n"
        "im = Image.new('RGB', (16, 16), (0, 0, 0))\n"
        "ImageDraw.Draw(im).rectangle((4, 4, 11, 11), fill=(255, 200, 0))\n"
        "im.convert('P', palette=Image.ADAPTIVE, colors=16).save('pillow.bmp')\n";
    std::string python;
    for (const char* candidate : {"python3", "/usr/bin/python3"}) {
        RunOptions options;
        options.program = candidate;
        if (RunTool({"-c", script}, dir.path, options).status == 0) {
            python = candidate;
            break;
        }
    }
    if (python.empty()) {
        GTEST_SKIP() << "no Python with Pillow (Debian: python3-pil) to write the picture";
    }
    const Bytes bmp = ReadFile(dir / "pillow.bmp");
    ASSERT_GE(bmp.size(), 54u + 1024);
    // The shape that defeated the plain highest-match rule: black used at a low entry and repeated,
    // unused, up to entry 255.
    const auto entryIsBlack = [&](std::size_t i) {
        return bmp[54 + 4 * i] == 0 && bmp[55 + 4 * i] == 0 && bmp[56 + 4 * i] == 0;
    };
    EXPECT_TRUE(entryIsBlack(255));

    const RunResult r = RunTool({"pillow.bmp"}, dir.path);
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes tvx = ReadFile(dir / "pillow.tvx");
    ASSERT_EQ(tvx.size(), 8u + 512 + 4 * 64);
    EXPECT_EQ(LoadLittle16(&tvx[8]), 0) << "entry 0 is black";
    const std::uint8_t* tiles = &tvx[8 + 512];
    EXPECT_EQ(tiles[0], 0) << "top-left background pixel";
    EXPECT_EQ(tiles[3 * 64 + 63], 0) << "bottom-right background pixel";
    const std::uint8_t orange = tiles[4 * 8 + 4];  // row 4, column 4 of the first tile
    EXPECT_NE(orange, 0);
    EXPECT_EQ(LoadLittle16(&tvx[8 + 2 * orange]), ToColor15(0, 200, 255));
}

}  // namespace
}  // namespace bmp2tvx::test
