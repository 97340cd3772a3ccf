// --palette=FILE, run as a user runs it: the same palette in every form it may take gives the same
// file, and every refusal is one line with nothing written.
#include <gtest/gtest.h>

#include "test_support.h"

namespace bmp2tvx::test {
namespace {

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// Four colours whose components survive the handheld's 5 bits as they are (c = v << 3 | v >> 2),
// so that a palette read back from a tile image file is the very same.
const std::vector<ColorEntry> kPalette = {{0, 0, 0}, {0, 0, 255}, {132, 255, 0}, {255, 132, 8}};

// A 16 x 8 true-colour picture of palette entries 1 to 3, and entry 0's colour at (9,2).
Bytes Sprite(bool withEntryZero) {
    BmpSpec spec;
    spec.width = 16;
    spec.bitCount = 24;
    for (std::size_t i = 0; i < 16 * 8; ++i) {
        const ColorEntry& c = kPalette[withEntryZero && i == 2 * 16 + 9 ? 0 : 1 + i % 3];
        spec.pixels.insert(spec.pixels.end(), {c.blue, c.green, c.red});
    }
    return BuildBmp(spec);
}

// The same palette as a JASC, GIMP and hex file, a picture's colour table, and a tile image file
// bmp2tvx and tvx2png write: each maps the picture to the same bytes.
TEST(Palette, EveryFormOfOnePaletteGivesTheSameFile) {
    BmpSpec table;
    table.table = kPalette;
    const struct {
        const char* name;
        Bytes contents;
    } forms[] = {
        {"p.pal", Text("JASC-PAL\r\n0100\r\n4\r\n0 0 0\r\n255 0 0\r\n0 255 132\r\n8 132 255\r\n")},
        {"p.gpl", Text("GIMP Palette\nName: p\nColumns: 4\n# bank 0\n  0   0   0\tBlack\n"
                       "255   0   0\tRed\n  0 255 132\n  8 132 255\tOrange\n")},
        {"p.hex", Text("000000\n#FF0000\n00ff84\n\n0884FF\n")},
        {"p.bmp", BuildBmp(table)},
    };
    TempDir dir;
    WriteFile(dir / "sprite.bmp", Sprite(true));
    Bytes reference;
    for (const auto& form : forms) {
        SCOPED_TRACE(form.name);
        WriteFile(dir / form.name, form.contents);
        const RunResult r =
            RunTool({"--palette=" + std::string(form.name), "sprite.bmp"}, dir.path);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "sprite.tvx [FullColor] (16,8) -> [Index16] (2c,1c)\n");
        const Bytes file = ReadFile(dir / "sprite.tvx");
        EXPECT_TRUE(reference.empty() || file == reference);
        reference = file;
    }
    // The palette words, and entry 0's colour at (9,2) in the second tile's third row.
    ASSERT_EQ(reference.size(), 8u + 32 + 64);
    EXPECT_EQ(Bytes(reference.begin() + 8, reference.begin() + 16),
              (Bytes{0, 0, 0x1F, 0, 0xE0, 0x43, 0x01, 0x7E}));
    EXPECT_EQ(reference[8 + 32 + 32 + 2 * 4], 0x02);
    // The file written is itself a palette, and tvx2png writes it out as one.
    WriteFile(dir / "again.tvx", reference);
    std::vector<std::string> again = {"again.tvx"};
#ifdef TVX2PNG_PATH
    for (const std::string name : {"out.gpl", "out.pal"}) {
        RunOptions preview;
        preview.program = TVX2PNG_PATH;
        ASSERT_EQ(RunTool({"--palette-out=" + name, "again.tvx"}, dir.path, preview).status, 0);
        again.push_back(name);
    }
#endif
    for (const std::string& name : again) {
        ASSERT_EQ(RunTool({"--palette=" + name, "sprite.bmp"}, dir.path).status, 0) << name;
        EXPECT_EQ(ReadFile(dir / "sprite.tvx"), reference) << name;
    }
}

TEST(Palette, RefusalsAreOneLineAndWriteNothing) {
    std::string hex257;
    for (int i = 0; i < 257; ++i) {
        hex257 += "000000\n";
    }
    const struct {
        const char* name;
        std::vector<std::string> args;
        Bytes palette;
        const char* err;
    } cases[] = {
        {"a colour the palette lacks",
         {"--palette=p.hex", "sprite.bmp"},
         Text("000000\nFF0000\n"),
         "sprite.bmp has a pixel at (1,0) of colour #00FF84, which p.hex does not hold.\n"},
        {"entry 0's colour beside transparency",
         {"--palette=p.hex", "a.bmp"},
         Text("000000\n"),
         "a.bmp has a pixel at (1,0) of colour #000000, which p.hex does not hold.\n"},
        {"257 colours",
         {"--palette=p.hex", "sprite.bmp"},
         Text(hex257),
         "p.hex, line 257, is colour 257; a palette holds at most 256.\n"},
        {"a GIMP line of two numbers",
         {"--palette=p.hex", "sprite.bmp"},
         Text("GIMP Palette\n1 2 3\n1 2\n"),
         "p.hex, line 3, is not a colour of three numbers from 0 to 255.\n"},
        {"a JASC count too high",
         {"--palette=p.hex", "sprite.bmp"},
         Text("JASC-PAL\n0100\n3\n1 2 3\n"),
         "p.hex, line 3, announces 3 colours, but 1 follow.\n"},
        {"no palette at all",
         {"--palette=p.hex", "sprite.bmp"},
         Text("hello\n"),
         "p.hex is not a palette file: not a JASC or GIMP palette, a hex list, a tile image file "
         "or a picture with a colour table.\n"},
        {"a true-colour picture",
         {"--palette=sprite.bmp", "sprite.bmp"},
         Text(""),
         "sprite.bmp has no colour table to take a palette from.\n"},
        {"-c16",
         {"-c16", "--palette=p.hex", "sprite.bmp"},
         Text("000000\n"),
         "--palette=p.hex cannot be used with -c16: FullColor16 has no palette.\n"},
        {"no file",
         {"--palette=", "sprite.bmp"},
         Text(""),
         "--palette= is not of the form --palette=FILE: bmp2tvx --help lists the options.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "sprite.bmp", Sprite(false));
        WriteFile(dir / "p.hex", c.palette);
        // 16 x 8 opaque black but for (0,0), transparent: a 32-bit BMP with an alpha mask.
        BmpSpec rgba;
        rgba.width = 16;
        rgba.bitCount = 32;
        rgba.compression = 3;
        rgba.infoSize = 124;
        for (std::size_t i = 0; i < 16 * 8; ++i) {
            rgba.pixels.insert(rgba.pixels.end(), {0, 0, 0, std::uint8_t(i == 0 ? 0 : 255)});
        }
        Bytes bmp = BuildBmp(rgba);
        for (std::uint32_t field = 0; field < 4; ++field) {  // red, green, blue, alpha
            Poke32(bmp, 54 + 4 * field, 0xFF0000u >> (8 * field) | (field == 3 ? 0xFF000000u : 0));
        }
        WriteFile(dir / "a.bmp", bmp);
        const auto before = Snapshot(dir.path);
        const RunResult r = RunTool(c.args, dir.path);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(Snapshot(dir.path), before);
    }
}

}  // namespace
}  // namespace bmp2tvx::test
