#include <random>

#include <gtest/gtest.h>

#include "image/bmp_reader.h"
#include "palette/key_color.h"
#include "tests/test_support.h"

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
    const Bytes file = BuildBmp(spec);
    SourceImage image;
    EXPECT_TRUE(LoadBitmapFromMemory("k.bmp", file.data(), file.size(), image));
    return image;
}

std::vector<ColorEntry> Distinct(std::size_t count) {
    std::vector<ColorEntry> table;
    for (std::size_t i = 0; i < count; ++i) {
        table.push_back({static_cast<std::uint8_t>(i + 1), 7, 9});  // never black or magenta
    }
    return table;
}

// Which entry ends up exchanged with entry 0; the pixels of those two entries swap numbers and
// every other pixel keeps its own.
TEST(KeyColor, ChosenEntryAndRenumbering) {
    struct Case {
        const char* name;
        std::vector<ColorEntry> table;
        std::int32_t red, green, blue, searchEntries;
        std::size_t expectedKey;
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

    Bytes pixels(256);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i * 11);  // every index once
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SourceImage image = Load(c.table, pixels);
        const auto before = image.colorTable;
        const Bytes stored(image.indexPixels, image.indexPixels + 256);
        MoveKeyColorToZero(image, c.red, c.green, c.blue, c.searchEntries);
        const std::size_t k = c.expectedKey;
        for (std::size_t i = 0; i < 256; ++i) {
            const std::size_t from = i == 0 ? k : i == k ? 0 : i;
            EXPECT_EQ(image.colorTable[i].blue, before[from].blue) << "entry " << i;
            EXPECT_EQ(image.colorTable[i].green, before[from].green) << "entry " << i;
            EXPECT_EQ(image.colorTable[i].red, before[from].red) << "entry " << i;
            const std::uint8_t p = stored[i];
            const std::uint8_t expected = p == k ? 0 : p == 0 ? static_cast<std::uint8_t>(k) : p;
            EXPECT_EQ(image.indexPixels[i], expected) << "pixel " << i;
        }
    }
}

// Whatever the picture and key, every pixel shows the same colour afterwards.
TEST(KeyColor, PixelColoursNeverChange) {
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
        const Bytes stored(image.indexPixels, image.indexPixels + 256);
        MoveKeyColorToZero(image, byte() & 0x80, byte() & 0x80, byte() & 0x80,
                           round % 2 ? 16 : 256);
        for (std::size_t i = 0; i < 256; ++i) {
            const ColorEntry& was = before[stored[i]];
            const ColorEntry& now = image.colorTable[image.indexPixels[i]];
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

}  // namespace
}  // namespace bmp2tvx::test
