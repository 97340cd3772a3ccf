#include <random>

#include <gtest/gtest.h>

#include "key_color.h"
#include "picture_reader.h"
#include "test_support.h"
#include "tile_image.h"

namespace bmp2tvx::test {
namespace {

constexpr ColorEntry kBlack{0, 0, 0};
constexpr ColorEntry kMagenta{255, 0, 255};  // blue, green, red

SourceImage Load(const std::vector<ColorEntry>& table, const Bytes& pixels) {
    BmpSpec spec;
    spec.width = 16;
    spec.height = 16;
    spec.table = table;
    spec.pixels = pixels;
    return LoadBmp(spec);
}

std::vector<ColorEntry> Distinct(std::size_t count) {
    std::vector<ColorEntry> table;
    for (std::size_t i = 0; i < count; ++i) {
        table.push_back({static_cast<std::uint8_t>(i + 1), 7, 9});  // never black or magenta
    }
    return table;
}

// Pixels using entries 0 to count - 1, each at least once.
Bytes UsingFirst(std::size_t count) {
    Bytes pixels(256);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i % count);
    }
    return pixels;
}

// Which entry ends up exchanged with entry 0; the pixels of those two entries swap numbers and
// every other pixel keeps its own.
TEST(KeyColor, ChosenEntryAndRenumbering) {
    struct Case {
        const char* name;
        std::vector<ColorEntry> table;
        std::int32_t red, green, blue, searchEntries;
        std::size_t expectedKey;
        Bytes pixels = {};  // empty: every entry used once
    };
    std::vector<Case> cases;
    cases.push_back({"no black anywhere", Distinct(256), 0, 0, 0, 256, 0});
    {
        auto t = Distinct(256);
        t[7] = kMagenta;
        cases.push_back({"magenta at entry 7", t, 255, 0, 255, 256, 7});
        cases.push_back({"red of 300", t, 300, 0, 255, 256, 0});
        cases.push_back({"blue of -1", t, 255, 0, -1, 256, 0});
    }
    {
        auto t = Distinct(256);
        t[5] = kBlack;
        for (std::size_t i = 200; i < 256; ++i) {
            t[i] = kBlack;
        }
        cases.push_back({"black at 5 and 200 to 255: the highest wins", t, 0, 0, 0, 256, 255});
    }
    {
        auto t = Distinct(256);
        t[3] = kBlack;
        for (std::size_t i = 16; i < 256; ++i) {
            t[i] = kBlack;
        }
        cases.push_back({"Index16 looks at entries 0 to 15 only", t, 0, 0, 0, 16, 3});
        cases.push_back({"Index256 looks at all of them", t, 0, 0, 0, 256, 255});
    }
    {
        auto t = Distinct(16);
        t[9] = kBlack;
        cases.push_back({"16-entry table: black filler is not searched", t, 0, 0, 0, 256, 9});
        cases.push_back({"16-entry table without black", Distinct(16), 0, 0, 0, 256, 0});
    }
    {
        auto t = Distinct(4);
        t[0] = kMagenta;
        cases.push_back({"key already at entry 0", t, 255, 0, 255, 256, 0});
    }

    // Copies of the key colour that no pixel uses, as writers that pad their colour table with
    // black leave them: the highest copy that pixels use wins, and only when none is used, the
    // highest copy.
    {
        auto t = Distinct(256);
        for (std::size_t i = 2; i < 256; ++i) {
            t[i] = kBlack;
        }
        cases.push_back({"used at 2, unused 3 to 255", t, 0, 0, 0, 256, 2, UsingFirst(3)});
        cases.push_back({"the same, nothing used", t, 0, 0, 0, 256, 255, Bytes(256, 1)});
    }
    {
        auto t = Distinct(256);
        t[2] = kBlack;
        for (std::size_t i = 9; i < 256; ++i) {
            t[i] = kBlack;
        }
        cases.push_back({"Index16: used at 2, unused 9 to 15", t, 0, 0, 0, 16, 2, UsingFirst(9)});
    }
    {
        auto t = Distinct(256);
        t[4] = t[7] = t[200] = kMagenta;
        cases.push_back({"used at 4 and 7, unused 200", t, 255, 0, 255, 256, 7, UsingFirst(8)});
        cases.push_back({"4, 7 and 200 unused", t, 255, 0, 255, 256, 200, UsingFirst(4)});
    }
    {
        auto t = Distinct(256);
        t[0] = t[9] = kBlack;
        cases.push_back(
            {"entry 0 used, 9 unused: nothing moves", t, 0, 0, 0, 256, 0, UsingFirst(6)});
        cases.push_back({"entry 0 and 9 unused: 9", t, 0, 0, 0, 256, 9, Bytes(256, 3)});
        cases.push_back({"entry 0 and 9 used: 9", t, 0, 0, 0, 256, 9, UsingFirst(12)});
    }

    Bytes everyEntry(256);
    for (std::size_t i = 0; i < everyEntry.size(); ++i) {
        everyEntry[i] = static_cast<std::uint8_t>(i * 11);  // every index once
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes& pixels = c.pixels.empty() ? everyEntry : c.pixels;
        SourceImage image = Load(c.table, pixels);
        const auto before = image.colorTable;
        const Bytes stored = RowsFromTop(image);
        EXPECT_TRUE(
            MoveKeyColorToZero(image, MakeKeyColor(c.red, c.green, c.blue), c.searchEntries));
        const Bytes after = RowsFromTop(image);
        const std::size_t k = c.expectedKey;
        for (std::size_t i = 0; i < 256; ++i) {
            const std::size_t from = i == 0 ? k : i == k ? 0 : i;
            EXPECT_EQ(image.colorTable[i].blue, before[from].blue) << "entry " << i;
            EXPECT_EQ(image.colorTable[i].green, before[from].green) << "entry " << i;
            EXPECT_EQ(image.colorTable[i].red, before[from].red) << "entry " << i;
            const std::uint8_t p = stored[i];
            const std::uint8_t expected = p == k ? 0 : p == 0 ? static_cast<std::uint8_t>(k) : p;
            EXPECT_EQ(after[i], expected) << "pixel " << i;
        }
    }
}

// The search for a used copy covers every pixel of a picture larger than its blocks, whether it
// looks for two copies or many.
TEST(KeyColor, UsedCopyFoundAnywhere) {
    constexpr std::int32_t kSide = 256;  // 64 KiB of pixels
    const std::size_t positions[] = {0, 16383, 16384, 40000, kSide * kSide - 1};
    const std::vector<std::vector<std::size_t>> copySets = {{3, 200}, {0, 3, 200}, {3, 9, 17, 200}};
    for (const auto& copies : copySets) {
        for (const std::size_t at : positions) {
            SCOPED_TRACE(testing::Message() << copies.size() << " copies, used at pixel " << at);
            BmpSpec spec;
            spec.width = kSide;
            spec.height = kSide;
            spec.table = Distinct(256);
            for (const std::size_t e : copies) {
                spec.table[e] = kBlack;
            }
            spec.pixels.assign(kSide * kSide, 1);
            spec.pixels[at] = 3;
            std::uint8_t entry = 0;
            EXPECT_TRUE(ChooseKeyEntry(LoadBmp(spec), ColorEntry{}, 256, entry));
            EXPECT_EQ(entry, 3);
            spec.pixels.assign(kSide * kSide, 1);
            EXPECT_TRUE(ChooseKeyEntry(LoadBmp(spec), ColorEntry{}, 256, entry));
            EXPECT_EQ(entry, 200) << "no copy used";
        }
    }
}

// Whatever the picture and key, every pixel shows the same colour afterwards.
TEST(KeyColor, PixelColorsNeverChange) {
    std::mt19937 random(12345);
    auto byte = [&] { return static_cast<std::uint8_t>(random() & 0xFF); };
    for (int round = 0; round < 200; ++round) {
        std::vector<ColorEntry> table(1 + random() % 256);
        for (ColorEntry& e : table) {
            // Few distinct values, so that keys match often and at several entries.
            e = {static_cast<std::uint8_t>(byte() & 0x80), static_cast<std::uint8_t>(byte() & 0x80),
                 static_cast<std::uint8_t>(byte() & 0x80)};
        }
        Bytes pixels(256);
        for (std::uint8_t& p : pixels) {
            p = byte();
        }
        SourceImage image = Load(table, pixels);
        const auto before = image.colorTable;
        const Bytes stored = RowsFromTop(image);
        ASSERT_TRUE(MoveKeyColorToZero(image,
                                       MakeKeyColor(byte() & 0x80, byte() & 0x80, byte() & 0x80),
                                       round % 2 ? 16 : 256));
        const Bytes after = RowsFromTop(image);
        for (std::size_t i = 0; i < 256; ++i) {
            const ColorEntry& was = before[stored[i]];
            const ColorEntry& now = image.colorTable[after[i]];
            ASSERT_EQ(std::tie(was.blue, was.green, was.red),
                      std::tie(now.blue, now.green, now.red))
                << "round " << round << " pixel " << i;
        }
    }
}

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
