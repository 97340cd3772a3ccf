// --frame=WxH, run as a user runs it: a sprite sheet's tiles come out frame by frame, and the
// file is exactly the file of the same frames stacked in a column, converted without it.
#include <functional>

#include <gtest/gtest.h>

#include "test_support.h"
#ifdef BMP2TVX_READS_PNG
#include "png_support.h"
#endif

namespace bmp2tvx::test {
namespace {

// Frames of `fw` x `fh` in a grid `across` x `down`, each pixel an index that tells its frame,
// row and column apart (at most `colours` of them).
struct Sheet {
    std::int32_t fw, fh, across, down, colours;
    std::uint8_t At(std::int32_t frame, std::int32_t x, std::int32_t y) const {
        return static_cast<std::uint8_t>((frame * 7 + x * 3 + y * 5 + (x * y) % 3) % colours);
    }
    // The sheet as it is drawn (`stacked` false) or its frames in a column.
    Bytes Indices(bool stacked) const {
        const std::int32_t width = stacked ? fw : fw * across;
        const std::int32_t frames = across * down;
        Bytes pixels(static_cast<std::size_t>(fw * fh * frames));
        for (std::int32_t f = 0; f < frames; ++f) {
            const std::int32_t x0 = stacked ? 0 : f % across * fw;
            const std::int32_t y0 = stacked ? f * fh : f / across * fh;
            for (std::int32_t y = 0; y < fh; ++y) {
                for (std::int32_t x = 0; x < fw; ++x) {
                    pixels[static_cast<std::size_t>((y0 + y) * width + x0 + x)] = At(f, x, y);
                }
            }
        }
        return pixels;
    }
};

std::vector<ColorEntry> Table(std::int32_t colours) {
    std::vector<ColorEntry> table;
    for (std::int32_t i = 0; i < colours; ++i) {
        table.push_back({static_cast<std::uint8_t>(i * 13), 200, static_cast<std::uint8_t>(i)});
    }
    return table;
}

Bytes Bmp(const Sheet& s, bool stacked, std::uint16_t bits) {
    BmpSpec spec;
    spec.width = stacked ? s.fw : s.fw * s.across;
    spec.height = stacked ? s.fh * s.across * s.down : s.fh * s.down;
    spec.bitCount = bits;
    spec.table = Table(s.colours);
    const Bytes indices = s.Indices(stacked);
    for (std::size_t i = 0; i < indices.size(); i += bits == 4 ? 2 : 1) {
        spec.pixels.push_back(
            bits == 4 ? static_cast<std::uint8_t>(indices[i] << 4 | indices[i + 1]) : indices[i]);
    }
    return BuildBmp(spec);
}

TEST(Frames, SheetGivesTheFileOfItsFramesStacked) {
    struct Case {
        std::string name;
        Sheet sheet;
        std::function<Bytes(const Sheet&, bool)> picture;
    };
    const Sheet wide{32, 16, 4, 1, 16}, grid{16, 24, 3, 2, 16}, tall{8, 8, 1, 5, 200};
    std::vector<Case> cases = {
        {"4-bit BMP, a row of frames", wide, [](const Sheet& s, bool st) { return Bmp(s, st, 4); }},
        {"8-bit BMP, a grid of frames", grid,
         [](const Sheet& s, bool st) { return Bmp(s, st, 8); }},
        {"8-bit BMP, frames the width of the sheet", tall,
         [](const Sheet& s, bool st) { return Bmp(s, st, 8); }},
    };
#ifdef BMP2TVX_READS_PNG
    // Entry 3 transparent in the file: it is exchanged with entry 0 in both.
    const auto png = [](int depth, std::vector<std::uint16_t> trns) {
        return [=](const Sheet& s, bool st) {
            const std::int32_t frames = s.across * s.down;
            return BuildPng({static_cast<std::uint32_t>(st ? s.fw : s.fw * s.across),
                             static_cast<std::uint32_t>(st ? s.fh * frames : s.fh * s.down), 3,
                             depth, false, Table(s.colours), trns, s.Indices(st)});
        };
    };
    cases.push_back({"4-bit PNG, a grid of frames", grid, png(4, {})});
    cases.push_back({"8-bit PNG with a transparent entry", wide, png(8, {255, 255, 255, 0})});
#else
    SkipCase("PNG files", "this build reads no PNG files (libpng was not found when configuring)");
#endif
    for (const Case& c : cases) {
        for (const char* depth : {"-c4", "-c8"}) {
            if (c.sheet.colours > 16 && std::string(depth) == "-c4") {
                continue;
            }
            SCOPED_TRACE(c.name + " " + depth);
            TempDir dir;
            WriteFile(dir / "sheet.pic", c.picture(c.sheet, false));
            WriteFile(dir / "stack.pic", c.picture(c.sheet, true));
            const std::string frame =
                "--frame=" + std::to_string(c.sheet.fw) + "x" + std::to_string(c.sheet.fh);
            const RunResult sheet = RunTool({depth, frame, "sheet.pic"}, dir.path);
            const RunResult stack = RunTool({depth, "stack.pic"}, dir.path);
            EXPECT_EQ(sheet.err + stack.err, "");
            ASSERT_EQ(sheet.status + stack.status, 0);
            EXPECT_EQ(ReadFile(dir / "sheet.tvx"), ReadFile(dir / "stack.tvx"));
        }
    }
}

// A 64 x 32 sheet of 16 x 16 frames, each 8 x 8 cell one index in reading order: the tiles come
// out frame by frame, each frame's rows of tiles top down.
TEST(Frames, TileOrderWrittenOutByHand) {
    BmpSpec spec;
    spec.width = 64;
    spec.height = 32;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 64; ++x) {
            spec.pixels.push_back(static_cast<std::uint8_t>(y / 8 * 8 + x / 8));
        }
    }
    TempDir dir;
    WriteFile(dir / "sheet.bmp", BuildBmp(spec));
    const RunResult r = RunTool({"--frame=16x16", "sheet.bmp"}, dir.path);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "sheet.tvx [Index] (64,32) -> [Index256] (8c,4c)\n");
    const Bytes file = ReadFile(dir / "sheet.tvx");
    ASSERT_EQ(file.size(), 8u + 512 + 32 * 64);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 8), (Bytes{1, 0, 2, 0, 16, 0, 32, 0}));
    const Bytes order = {0,  1,  8,  9,  2,  3,  10, 11, 4,  5,  12, 13, 6,  7,  14, 15,
                         16, 17, 24, 25, 18, 19, 26, 27, 20, 21, 28, 29, 22, 23, 30, 31};
    for (std::size_t t = 0; t < order.size(); ++t) {
        EXPECT_EQ(file[8 + 512 + 64 * t], order[t]) << "tile " << t;
    }
}

}  // namespace
}  // namespace bmp2tvx::test
