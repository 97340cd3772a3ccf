// tvx2png as a user runs it, and the round trip through both tools.
#include <random>

#include <gtest/gtest.h>

#include "png_support.h"
#include "test_support.h"

namespace bmp2tvx::test {
namespace {

RunResult RunTvx2Png(const std::vector<std::string>& args, const std::string& cwd) {
    RunOptions options;
    options.program = TVX2PNG_PATH;
    return RunTool(args, cwd, options);
}

std::uint8_t Widen(std::uint8_t c) {
    return static_cast<std::uint8_t>(((c >> 3) << 3) | (c >> 5));
}

// Small files written by hand, one of each layout, and the pixels they must show. Drawn as a BMP
// instead, each reads back through bmp2tvx to the very same file: the paletted ones mapped onto
// their own palette, their transparent pixels at entry 0.
TEST(Tvx2Png, HandWorkedPixels) {
    Bytes index16 = {0, 0, 1, 0, 1, 0, 1, 0, 0x1F, 0x00, 0xE0, 0x03};  // red, green
    index16.resize(8 + 32, 0);
    index16.push_back(0x10);  // top row: 0 then 1, then all 0
    index16.resize(8 + 32 + 32, 0);
    Bytes index256 = {1, 0, 1, 0, 1, 0, 1, 0};
    index256.resize(8 + 512, 0);
    index256[8 + 2 * 200] = 0x00;
    index256[8 + 2 * 200 + 1] = 0x7C;  // entry 200: blue
    index256.resize(8 + 512 + 64, 0);
    index256[8 + 512 + 63] = 200;  // bottom-right pixel
    Bytes full = {2, 0, 1, 0, 1, 0, 1, 0};
    for (int i = 0; i < 64; ++i) {
        full.insert(full.end(), {0x21, 0x04});  // red 1, green 1, blue 1
    }
    const struct {
        const char* name;
        Bytes file;
        std::size_t pixel;
        std::array<std::uint8_t, 4> rgba;
        std::array<std::uint8_t, 4> elsewhere;
        std::vector<std::string> readBack;
    } cases[] = {
        {"Index16", index16, 1, {0, 255, 0, 255}, {255, 0, 0, 0}, {"--palette=t.tvx"}},
        {"Index256", index256, 63, {0, 0, 255, 255}, {0, 0, 0, 0}, {"--palette=t.tvx"}},
        {"FullColor16", full, 5, {8, 8, 8, 255}, {8, 8, 8, 255}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "t.tvx", c.file);
        const RunResult r = RunTvx2Png({"t.tvx"}, dir.path);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, std::string("t.tvx.png [") + c.name + "] (8,8) (1c,1c)\n");
        const Picture p = ReadPng(dir / "t.tvx.png");
        ASSERT_EQ(p.width, 8u);
        ASSERT_EQ(p.height, 8u);
        for (std::size_t i = 0; i < 64; ++i) {
            const auto& want = i == c.pixel ? c.rgba : c.elsewhere;
            EXPECT_EQ((std::array<std::uint8_t, 4>{p.rgba[4 * i], p.rgba[4 * i + 1],
                                                   p.rgba[4 * i + 2], p.rgba[4 * i + 3]}),
                      want)
                << "pixel " << i;
        }
        ASSERT_EQ(RunTvx2Png({"t.tvx", "t.bmp"}, dir.path).status, 0);
        std::vector<std::string> readBack = c.readBack;
        readBack.insert(readBack.end(), {"--output=back.tvx", "t.bmp"});
        const RunResult back = RunTool(readBack, dir.path);
        EXPECT_EQ(back.status, 0) << back.err;
        EXPECT_EQ(ReadFile(dir / "back.tvx"), c.file);
    }
}

// The picture's name says what is written: a PNG for .png, by default too, a BMP for .bmp, in
// either case; any other name is refused before anything is read or written.
TEST(Tvx2Png, OutputNameSaysTheFormat) {
    Bytes index16(8 + 32 + 32, 0);
    index16[2] = index16[4] = index16[6] = 1;
    const std::string refused =
        " does not end in .png or .bmp: tvx2png writes a PNG or a BMP, "
        "as the name says.\n";
    const struct {
        std::vector<std::string> args;
        const char* written;  // and its first bytes, or nullptr for a refusal
        Bytes signature;
    } cases[] = {
        {{"t.tvx"}, "t.tvx.png", {0x89, 'P', 'N', 'G'}},
        {{"t.tvx", "T.PNG"}, "T.PNG", {0x89, 'P', 'N', 'G'}},
        {{"t.tvx", "t.Bmp"}, "t.Bmp", {'B', 'M'}},
        {{"t.tvx", "t.gif"}, nullptr, {}},
        {{"t.tvx", "t.png.txt"}, nullptr, {}},
        {{"--palette-out=p.gpl", "t.tvx", "t"}, nullptr, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        TempDir dir;
        WriteFile(dir / "t.tvx", index16);
        const RunResult r = RunTvx2Png(c.args, dir.path);
        if (c.written == nullptr) {
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.err, c.args.back() + refused);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(ListDir(dir.path), std::vector<std::string>{"t.tvx"});
            continue;
        }
        EXPECT_EQ(r.status, 0) << r.err;
        const Bytes file = ReadFile(dir / c.written);
        ASSERT_GE(file.size(), c.signature.size());
        EXPECT_EQ(Bytes(file.begin(), file.begin() + c.signature.size()), c.signature);
    }
}

TEST(Tvx2Png, Refusals) {
    Bytes good(8 + 512 + 64, 0);
    good[0] = good[2] = good[4] = good[6] = 1;  // Index256, 1 x 1 tiles, 1 tile
    auto edit = [&](auto change) {
        Bytes f = good;
        change(f);
        return f;
    };
    const struct {
        const char* name;
        Bytes file;
        const char* err;
    } cases[] = {
        {"shorter than the header", {1, 0, 1, 0}, "t.tvx is too short to be a tile image file.\n"},
        {"unknown format code", edit([](Bytes& f) { f[0] = 3; }),
         "t.tvx is not a tile image file: its format code is unknown.\n"},
        {"one byte short", edit([](Bytes& f) { f.pop_back(); }),
         "t.tvx does not have the length its tile image header announces.\n"},
        {"one byte long", edit([](Bytes& f) { f.push_back(0); }),
         "t.tvx does not have the length its tile image header announces.\n"},
        {"wrong tile count", edit([](Bytes& f) { f[6] = 2; }),
         "t.tvx does not have the length its tile image header announces.\n"},
        {"no tiles", edit([](Bytes& f) {
             f = {1, 0, 0, 0, 2, 0, 0, 0};
             f.resize(8 + 512, 0);
         }),
         "t.tvx has no pixels to draw.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "t.tvx", c.file);
        WriteFile(dir / "t.tvx.png", {'o', 'l', 'd'});
        const RunResult r = RunTvx2Png({"t.tvx"}, dir.path);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(ReadFile(dir / "t.tvx.png"), (Bytes{'o', 'l', 'd'}));
        EXPECT_EQ(ListDir(dir.path).size(), 2u);
    }
    // A huge file is judged by its header before any of it is held in memory.
    {
        TempDir dir;
        WriteFile(dir / "big.tvx", good);
        std::filesystem::resize_file(PathOf(dir / "big.tvx"), std::uintmax_t{1} << 32);
        const RunResult r = RunTvx2Png({"big.tvx"}, dir.path);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "big.tvx does not have the length its tile image header announces.\n");
        ExpectPeakMemoryBelow(r, kSmallRunMemoryKiB);
    }
    TempDir dir;
    const RunResult missing = RunTvx2Png({"none.tvx", "out.png"}, dir.path);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Could not open none.tvx.\n");
    EXPECT_TRUE(ListDir(dir.path).empty());
    // The PNG named as the input itself, under another name.
    WriteFile(dir / "t.png", good);
    const RunResult itself = RunTvx2Png({"t.png", "./t.png"}, dir.path);
    EXPECT_EQ(itself.status, 1);
    EXPECT_EQ(itself.out, "");
    EXPECT_EQ(itself.err,
              "t.png is the same file as its output ./t.png, so the output would replace it.\n");
    EXPECT_EQ(ReadFile(dir / "t.png"), good);
    EXPECT_EQ(ListDir(dir.path), std::vector<std::string>{"t.png"});
}

// The example game's backgrounds through bmp2tvx --map and tvx2png: the whole background drawn
// from the two files is the picture, whether the map is found beside the tiles or named; a map
// drawn with other bases, or not a map at all, is refused.
TEST(Tvx2Png, BackgroundsDrawnWhole) {
    const std::string examples = std::string(BMP2TVX_SOURCE_DIR) + "/examples/backgrounds/";
    const struct {
        const char* name;
        std::vector<std::string> convert, draw;
        const char *picture, *out, *err;
    } cases[] = {
        {"field, its map found beside",
         {"-c4", "--map", "field.png"},
         {"field.tvx", "bg.png"},
         "field.png",
         "bg.png [Index16] (512,512) (64c,64c)\n",
         ""},
        {"dial, affine, its map and base named",
         {"-c8", "--map=affine", "--tile-base=5", "--output=d/t.tvx", "dial.png"},
         {"--map=d/t.tvm", "--tile-base=5", "d/t.tvx", "bg.png"},
         "dial.png",
         "bg.png [Index256] (256,256) (32c,32c)\n",
         ""},
        {"the tiles alone",
         {"-c4", "--map", "field.png"},
         {"--map=none", "field.tvx", "bg.png"},
         nullptr,
         "bg.png [Index16] (512,8) (64c,1c)\n",
         ""},
        {"other bases than the map's",
         {"-c4", "--map", "field.png"},
         {"--bank-base=1", "field.tvx", "bg.png"},
         nullptr,
         "",
         "field.tvm does not fit field.tvx: its cell at (0,0) names a tile or palette bank that "
         "is not there from tile 0 and bank 1.\n"},
        {"not a map file",
         {"-c8", "dial.png"},
         {"--map=field.png", "dial.tvx", "bg.png"},
         nullptr,
         "",
         "field.png is not a map file: its length is not what its header announces, or its kind "
         "is unknown.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::filesystem::create_directory(PathOf(dir / "d"));
        for (const char* name : {"field.png", "dial.png"}) {
            WriteFile(dir / name, ReadFile(examples + name));
        }
        ASSERT_EQ(RunTool(c.convert, dir.path).status, 0);
        const RunResult r = RunTvx2Png(c.draw, dir.path);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.status, *c.err ? 1 : 0);
        if (!c.picture) {
            continue;
        }
        const Picture drawn = ReadPng(dir / "bg.png"), picture = ReadPng(dir / c.picture);
        ASSERT_EQ(drawn.rgba.size(), picture.rgba.size());
        for (std::size_t i = 0; i < drawn.rgba.size(); i += 4) {
            const bool clear = picture.rgba[i + 3] == 0;
            const Bytes got(drawn.rgba.begin() + i + (clear ? 3 : 0), drawn.rgba.begin() + i + 4);
            const Bytes want = clear ? Bytes{0}
                                     : Bytes{Widen(picture.rgba[i]), Widen(picture.rgba[i + 1]),
                                             Widen(picture.rgba[i + 2]), 255};
            ASSERT_EQ(got, want) << "pixel " << i / 4;
        }
    }
}

// Random pictures through bmp2tvx and tvx2png: every pixel shows its source colour cut to five
// bits per channel and widened again, and in the paletted layouts exactly the key colour is
// transparent.
TEST(RoundTrip, EveryPixelKeepsItsColor) {
    std::mt19937 random(2024);
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE(round);
        const int depth = std::array{16, 4, 8}[static_cast<std::size_t>(round % 3)];
        const bool direct = (round / 3) % 2 == 1;
        const std::size_t colours = depth == 4 ? 1 + random() % 16 : 1 + random() % 256;
        BmpSpec spec;
        spec.width = 8 * static_cast<std::int32_t>(1 + random() % 5);
        spec.height = 8 * static_cast<std::int32_t>(1 + random() % 4);
        spec.topDown = random() % 2;
        spec.bitCount = direct ? 24 : 8;
        // Distinct colours, so that the key colour sits at one entry only.
        std::vector<ColorEntry> palette;
        for (std::size_t i = 0; i < colours; ++i) {
            palette.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(random()),
                               static_cast<std::uint8_t>(random())});
        }
        const std::size_t pixelCount = static_cast<std::size_t>(spec.width * spec.height);
        std::vector<std::size_t> chosen(pixelCount);
        for (std::size_t& c : chosen) {
            c = random() % colours;
        }
        const ColorEntry key = palette[chosen[random() % pixelCount]];
        for (std::size_t c : chosen) {
            const ColorEntry& e = palette[c];
            if (direct) {
                spec.pixels.insert(spec.pixels.end(), {e.blue, e.green, e.red});
            } else {
                spec.pixels.push_back(static_cast<std::uint8_t>(c));
            }
        }
        if (!direct) {
            spec.table = palette;
        }
        TempDir dir;
        WriteFile(dir / "r.bmp", BuildBmp(spec));
        const RunResult convert =
            RunTool({"-c" + std::to_string(depth), "-r" + std::to_string(key.red),
                     "-g" + std::to_string(key.green), "-b" + std::to_string(key.blue), "r.bmp"},
                    dir.path);
        ASSERT_EQ(convert.status, 0) << convert.err;
        ASSERT_EQ(RunTvx2Png({"r.tvx", "r.png"}, dir.path).status, 0);
        const Picture p = ReadPng(dir / "r.png");
        ASSERT_EQ(p.width, static_cast<std::uint32_t>(spec.width));
        ASSERT_EQ(p.height, static_cast<std::uint32_t>(spec.height));
        for (std::size_t i = 0; i < pixelCount; ++i) {
            const ColorEntry& e = palette[chosen[i]];
            const bool isKey = e.red == key.red && e.green == key.green && e.blue == key.blue;
            const std::uint8_t alpha = depth != 16 && isKey ? 0 : 255;
            ASSERT_EQ(
                (std::array<std::uint8_t, 4>{p.rgba[4 * i], p.rgba[4 * i + 1], p.rgba[4 * i + 2],
                                             p.rgba[4 * i + 3]}),
                (std::array<std::uint8_t, 4>{Widen(e.red), Widen(e.green), Widen(e.blue), alpha}))
                << "pixel " << i;
        }
    }
}

}  // namespace
}  // namespace bmp2tvx::test
