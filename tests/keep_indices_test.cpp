// --key=none, run as a user runs it: art kept the GBA way (entry 0 the transparent colour, black
// an opaque entry of its own) keeps every index, and only the transparency a picture carries
// makes a true-colour pixel transparent.
#include <gtest/gtest.h>

#include "test_support.h"
#include "tile_image.h"
#include "tile_reader.h"
#ifdef BMP2TVX_READS_PNG
#include "png_support.h"
#endif

namespace bmp2tvx::test {
namespace {

constexpr std::uint32_t kWidth = 16;
constexpr std::uint32_t kHeight = 8;

// Entry 0 teal, entry 1 black (the outline), then other colours.
std::vector<ColorEntry> KeptTable(std::size_t n) {
    std::vector<ColorEntry> table = {{128, 128, 0}, {0, 0, 0}};
    for (std::size_t i = 2; i < n; ++i) {
        table.push_back({static_cast<std::uint8_t>(i * 17), 40, static_cast<std::uint8_t>(i * 9)});
    }
    return table;
}

// Every index from 0 to 15, black (1) most of all, row by row from the top.
Bytes KeptIndices() {
    Bytes indices;
    for (std::uint32_t i = 0; i < kWidth * kHeight; ++i) {
        indices.push_back(static_cast<std::uint8_t>(i % 3 == 0 ? 1 : (i * 7 + i / kWidth) % 16));
    }
    return indices;
}

// The file --key=none must give: the table's words in order, padded black, and the raw indices
// as tiles in rows of tiles from the top.
Bytes Expected(const std::vector<ColorEntry>& table, const Bytes& indices, bool four) {
    Bytes file(kTileImageHeaderSize);
    PutTileImageHeader(
        MakeTileImageHeader(four ? TargetFormat::Index16 : TargetFormat::Index256, kWidth, kHeight),
        file.data());
    for (std::size_t e = 0; e < (four ? 16u : 256u); ++e) {
        const ColorEntry c = e < table.size() ? table[e] : ColorEntry{};
        const Color15 word = ToColor15(c.blue, c.green, c.red);
        file.insert(file.end(),
                    {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8)});
    }
    for (std::uint32_t x0 = 0; x0 < kWidth; x0 += 8) {
        for (std::uint32_t y = 0; y < kHeight; ++y) {
            for (std::uint32_t x = x0; x < x0 + 8; x += four ? 2 : 1) {
                const std::uint8_t left = indices[y * kWidth + x];
                file.push_back(
                    four ? static_cast<std::uint8_t>(indices[y * kWidth + x + 1] << 4 | left)
                         : left);
            }
        }
    }
    return file;
}

Bytes KeptBmp(std::uint16_t bits, const std::vector<ColorEntry>& table, const Bytes& indices) {
    BmpSpec spec;
    spec.width = kWidth;
    spec.height = kHeight;
    spec.bitCount = bits;
    spec.table = table;
    for (std::size_t i = 0; i < indices.size(); i += bits == 4 ? 2 : 1) {
        spec.pixels.push_back(
            bits == 4 ? static_cast<std::uint8_t>(indices[i] << 4 | indices[i + 1]) : indices[i]);
    }
    return BuildBmp(spec);
}

std::string JascText(const std::vector<ColorEntry>& table) {
    std::string text = "JASC-PAL\r\n0100\r\n" + std::to_string(table.size()) + "\r\n";
    for (const ColorEntry& c : table) {
        text += std::to_string(c.red) + " " + std::to_string(c.green) + " " +
                std::to_string(c.blue) + "\r\n";
    }
    return text;
}

// The same sprite as a 4-bit BMP, an 8-bit BMP and an indexed PNG, at -c4 and -c8: the tiles are
// its raw indices and the palette its table in order. A tile sheet kept with a stand-in palette
// of one colour takes its colours from a palette file, its indices untouched.
TEST(KeepIndices, IndexedPicturesKeepEveryIndex) {
    const std::vector<ColorEntry> table = KeptTable(16);
    const std::vector<ColorEntry> standIn(16, ColorEntry{90, 90, 90});
    const Bytes indices = KeptIndices();
    const std::string jasc = JascText(table);
    struct Case {
        std::string name;
        Bytes picture;
        std::vector<std::string> flags;
    };
    std::vector<Case> cases = {
        {"4-bit BMP", KeptBmp(4, table, indices), {}},
        {"8-bit BMP", KeptBmp(8, table, indices), {}},
        {"8-bit BMP, stand-in palette", KeptBmp(8, standIn, indices), {"--palette=real.pal"}},
    };
#ifdef BMP2TVX_READS_PNG
    cases.push_back(
        {"indexed PNG", BuildPng({kWidth, kHeight, 3, 4, false, table, {}, indices}), {}});
    cases.push_back({"indexed PNG, stand-in palette",
                     BuildPng({kWidth, kHeight, 3, 8, false, standIn, {}, indices}),
                     {"--palette=real.pal"}});
#else
    SkipCase("PNG files", "this build reads no PNG files (libpng was not found when configuring)");
#endif
    for (const Case& c : cases) {
        for (const bool four : {true, false}) {
            SCOPED_TRACE(c.name + (four ? " -c4" : " -c8"));
            TempDir dir;
            WriteFile(dir / "sheet.pic", c.picture);
            WriteFile(dir / "real.pal", Bytes(jasc.begin(), jasc.end()));
            std::vector<std::string> args = c.flags;
            args.insert(args.end(), {four ? "-c4" : "-c8", "--key=none", "sheet.pic"});
            const RunResult r = RunTool(args, dir.path);
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(ReadFile(dir / "sheet.tvx"), Expected(table, indices, four));
        }
    }
}

#ifdef BMP2TVX_READS_PNG
// A tRNS entry other than 0 that pixels use cannot stay where it is; a true-colour picture has
// exactly its transparent pixels at entry 0, black among its opaque colours.
TEST(KeepIndices, TransparencyComesFromThePictureOnly) {
    const std::vector<ColorEntry> table = KeptTable(16);
    const Bytes indices = KeptIndices();
    // (5,0) is the first pixel of entry 3.
    ASSERT_EQ(indices[5], 3);
    const Bytes clearThree =
        BuildPng({kWidth, kHeight, 3, 8, false, table, {255, 255, 255, 0}, indices});
    PngSpec rgba{kWidth, kHeight, 6, 8, false, {}, {}, {}};
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const ColorEntry c = table[indices[i]];
        rgba.samples.insert(rgba.samples.end(),
                            {c.red, c.green, c.blue, std::uint8_t(indices[i] == 0 ? 0 : 255)});
    }
    const struct {
        const char* name;
        Bytes picture;
        const char* depth;
        const char* err;
    } cases[] = {
        {"tRNS entry 3 used", clearThree, "-c8",
         "in.png has a transparent pixel at (5,0) of entry 3; with --key=none only entry 0 can be "
         "transparent.\n"},
        {"RGBA, black outline, as tiles", BuildPng(rgba), "-c4", ""},
        {"RGBA as FullColor16", BuildPng(rgba), "-c16", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "in.png", c.picture);
        const RunResult r = RunTool({c.depth, "--key=none", "in.png"}, dir.path);
        EXPECT_EQ(r.err, c.err);
        if (*c.err != '\0') {
            EXPECT_EQ(ListDir(dir.path), std::vector<std::string>{"in.png"});
            continue;
        }
        // Drawn back: transparent exactly where the picture is, and every other pixel its colour
        // as the handheld shows it (a FullColor16 file is opaque, its transparent pixels word 0).
        const Bytes file = ReadFile(dir / "in.tvx");
        TileImageView view;
        ASSERT_TRUE(ParseTileImage("in.tvx", file, view));
        const Bytes drawn = RenderRgba(view);
        const bool bitmap = view.format == TargetFormat::FullColor16;
        for (std::size_t i = 0; i < indices.size(); ++i) {
            const ColorEntry c = indices[i] == 0 ? ColorEntry{} : table[indices[i]];
            const auto shown = ColorWordToRgba(ToColor15(c.blue, c.green, c.red));
            const Bytes expected = indices[i] == 0 && !bitmap
                                       ? Bytes{0, 0, 0, 0}
                                       : Bytes{shown[0], shown[1], shown[2], 255};
            EXPECT_EQ(Bytes(drawn.begin() + 4 * i, drawn.begin() + 4 * i + 4), expected)
                << "pixel " << i;
        }
    }
}
#endif

}  // namespace
}  // namespace bmp2tvx::test
