// The example game (examples/gba/), as its CMake build and its Makefile make it, on the mGBA
// emulator core: each ROM runs headless for a few frames, and every pixel of its 240 x 160 screen
// must be what tvx2png draws for the files the ROM embeds, each where the ROM shows it, over the
// checkerboard of sprites behind them: where a file's PNG is transparent the screen shows what is
// behind it, elsewhere the PNG's colour. The comparison is in the hardware's 15-bit colours:
// tvx2png widens each 5-bit component by repeating its top bits, mGBA by its own rule, and both
// keep the 5 bits on top. Each logo ROM also checks that tvx_valid refuses a copy of its file at
// an odd address, and every ROM shows a red screen instead of its pictures if a check fails.
// The walk and backgrounds ROMs move their pictures with time (motion.h): their screens are
// compared at known times, with the pictures placed, scrolled and turned by the hardware's rules.
#include <algorithm>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backdrop.h"
#include "motion.h"
#include "png_support.h"
#include "sprites.h"
#include "test_support.h"

#if BMP2TVX_HAVE_EMULATOR
#include <mgba/core/core.h>
#include <mgba/core/log.h>
#endif

namespace bmp2tvx::test {
namespace {

constexpr int kScreenWidth = 240;
constexpr int kScreenHeight = 160;

// The example is built twice: by its CMakeLists.txt (bmp2tvx_embed) and by its Makefile
// (make/bmp2tvx.mk).
struct Build {
    const char* name;
    const char* roms;     // the folder of the ROMs
    const char* missing;  // why there are none, or ""
    const char* tvx;      // the folder, under `roms`, of each ROM's folder with its .tvx files
};
constexpr Build kBuilds[] = {
    {"CMake", BMP2TVX_GBA_ROMS, BMP2TVX_GBA_MISSING, "/bmp2tvx/"},
    {"Make", BMP2TVX_GBA_MAKE_ROMS, BMP2TVX_GBA_MAKE_MISSING, "/"},
};

void PrintTo(const Build& build, std::ostream* out) {
    *out << build.name;
}

class GbaExample : public testing::TestWithParam<Build> {};

struct Color5;
Color5 WalkShows(const std::vector<Picture>& drawn, std::uint32_t t, int x, int y);
Color5 BackgroundsShow(const std::vector<Picture>& drawn, std::uint32_t t, int x, int y);

// A tile image file a ROM shows, with its top left corner at (x, y), and flags for tvx2png.
struct Shown {
    const char* picture;  // <picture>.tvx
    std::uint8_t format;  // its first byte: 0 Index16, 1 Index256, 2 FullColor16
    int x, y;
    std::vector<std::string> flags{};
};

// A pixel whose colour on screen is known whatever tvx2png draws: black, or the checkerboard.
struct Probe {
    int x, y;
    bool black;
};

// A ROM that moves its pictures shows at each t of `times` what `moving` draws of `shown`.
struct Rom {
    const char* name;          // <name>.gba
    std::vector<Shown> shown;  // topmost first
    std::vector<Probe> probes{};
    std::vector<int> times{};
    Color5 (*moving)(const std::vector<Picture>&, std::uint32_t t, int x, int y) = nullptr;
};
const Rom kRoms[] = {
    {"logo_index16", {{"logo", 0, 0, 0}}},
    {"logo_index256", {{"logo", 1, 0, 0}}},
    {"logo_fullcolor16", {{"logo", 2, 0, 0}}},
    {"logo_index16_uneven", {{"logo", 0, 0, 0}}},
    {"sprites",
     {{"sprite", 1, SPRITE_INDEXED_X, SPRITE_INDEXED_Y},
      {"sprite_rgba", 0, SPRITE_RGBA_X, SPRITE_RGBA_Y},
      {"knight", 0, SPRITE_KNIGHT_X, SPRITE_KNIGHT_Y},
      {"ghost", 0, SPRITE_GHOST_X, SPRITE_GHOST_Y},
      {"slime_kept", 0, SPRITE_KEPT_X, SPRITE_KEPT_Y}},
     // The kept slime's outline and pupil (entries 1, 5) are black, its teal entry 0 clear.
     {{SPRITE_KEPT_X + 3, SPRITE_KEPT_Y + 21, true},
      {SPRITE_KEPT_X + 12, SPRITE_KEPT_Y + 18, true},
      {SPRITE_KEPT_X, SPRITE_KEPT_Y, false}}},
    // Two frames and places of the walk; two scrolls (one round the edge) and angles of the dial.
    {"walk", {{"walk", 0, 0, 0}}, {}, {20, 45}, WalkShows},
    {"backgrounds",
     {{"dial", 1, 0, 0}, {"field", 0, 0, 0, {"--bank-base=1"}}},
     {},
     {37, 300},
     BackgroundsShow},
};

std::string RomPath(const Build& build, const Rom& rom) {
    return std::string(build.roms) + "/" + rom.name + ".gba";
}

// The tile image file the ROM embeds, as the build made it.
std::string TvxPath(const Build& build, const Rom& rom, const Shown& shown) {
    return std::string(build.roms) + build.tvx + rom.name + "/" + shown.picture + ".tvx";
}

// The cartridge header's fixed byte and complement check, which real hardware verifies.
TEST_P(GbaExample, RomHeadersAreComplete) {
    if (*GetParam().missing) {
        GTEST_SKIP() << GetParam().missing;
    }
    for (const Rom& rom : kRoms) {
        SCOPED_TRACE(rom.name);
        const Bytes bytes = ReadFile(RomPath(GetParam(), rom));
        ASSERT_GE(bytes.size(), 0xC0u);
        EXPECT_EQ(bytes[0xB2], 0x96);
        unsigned sum = 0;
        for (std::size_t i = 0xA0; i <= 0xBC; ++i) {
            sum += bytes[i];
        }
        EXPECT_EQ(bytes[0xBD], static_cast<std::uint8_t>(0u - sum - 0x19));
        // The entry point is a branch (ARM "b", condition always) over the header.
        EXPECT_EQ(bytes[3], 0xEA);
    }
}

#if BMP2TVX_HAVE_EMULATOR

// What tvx2png draws for `tvx`, and the map file beside it if any, run as a user runs it.
Picture DrawWithTvx2Png(const std::string& tvx, std::vector<std::string> args = {}) {
    TempDir dir;
    WriteFile(dir / "logo.tvx", ReadFile(tvx));
    const std::string tvm = tvx.substr(0, tvx.size() - 3) + "tvm";
    if (FileExists(tvm)) {
        WriteFile(dir / "logo.tvm", ReadFile(tvm));
    }
    RunOptions options;
    options.program = TVX2PNG_PATH;
    args.insert(args.end(), {"logo.tvx", "logo.png"});
    const RunResult run = RunTool(args, dir.path, options);
    EXPECT_EQ(run.status, 0) << run.err;
    return ReadPng(dir / "logo.png");
}

#endif

// A 15-bit colour as red, green, blue components of 5 bits.
struct Color5 {
    unsigned red, green, blue;
    bool operator==(const Color5&) const = default;
};

Color5 From15(std::uint16_t word) {
    return {word & 0x1Fu, (word >> 5) & 0x1Fu, (word >> 10) & 0x1Fu};
}

// Whether the drawing has an opaque pixel at `column`, `row`: if so, its colour in `color`.
bool Opaque(const Picture& png, std::int64_t column, std::int64_t row, Color5* color) {
    if (column < 0 || row < 0 || column >= png.width || row >= png.height) {
        return false;
    }
    const std::uint8_t* p = &png.rgba[4 * (static_cast<std::size_t>(row) * png.width + column)];
    *color = {p[0] / 8u, p[1] / 8u, p[2] / 8u};
    return p[3] == 255;
}

Color5 Checkerboard(int x, int y) {
    const bool light = (x / BACKDROP_SQUARE + y / BACKDROP_SQUARE) % 2 == 0;
    return From15(light ? BACKDROP_LIGHT : BACKDROP_DARK);
}

// What walk.gba shows at t: frame walk_frame(t) of the sheet (drawn as a column of frames) at
// (walk_x(t), WALK_Y), over the checkerboard.
Color5 WalkShows(const std::vector<Picture>& drawn, std::uint32_t t, int x, int y) {
    Color5 color;
    const int row = y - WALK_Y;
    if (row >= 0 && row < WALK_SIZE &&
        Opaque(drawn[0], x - int(walk_x(t)), int(walk_frame(t)) * WALK_SIZE + row, &color)) {
        return color;
    }
    return Checkerboard(x, y);
}

// What backgrounds.gba shows at t: the dial's pixel ((X + PA x + PB y) >> 8, (Y + PC x + PD y)
// >> 8), shifted with the sign, if opaque (outside the dial is transparent: no wrapping), else
// the field's, scrolled modulo 512. The field is opaque: no colour matches a transparent pixel.
Color5 BackgroundsShow(const std::vector<Picture>& drawn, std::uint32_t t, int x, int y) {
    const dial_affine m = dial_at(t);
    Color5 color;
    if (Opaque(drawn[0], (std::int64_t{m.x} + m.pa * x + m.pb * y) >> 8,
               (std::int64_t{m.y} + m.pc * x + m.pd * y) >> 8, &color) ||
        Opaque(drawn[1], (x + field_x(t)) % 512, (y + field_y(t)) % 512, &color)) {
        return color;
    }
    return {99, 99, 99};
}

#if BMP2TVX_HAVE_EMULATOR

// What the screen must show at column x, row y: the topmost opaque pixel of the drawings there,
// each drawn with its top left corner at its own (x, y), or else the checkerboard.
Color5 Expected(const std::vector<Picture>& pngs, const Rom& rom, int x, int y) {
    Color5 color;
    for (std::size_t i = 0; i < pngs.size(); ++i) {
        if (Opaque(pngs[i], x - rom.shown[i].x, y - rom.shown[i].y, &color)) {
            return color;
        }
    }
    return Checkerboard(x, y);
}

void Quiet(mLogger*, int, mLogLevel, const char*, va_list) {}

// The screen after `frames` frames of the ROM, as mGBA's 32-bit pixels: red in the low byte,
// then green, then blue, each 5-bit component shifted to the top of its byte.
// With `from_layers_on`, after the first frame that ends with a layer on (display control 8-12).
std::vector<color_t> RunRom(const std::string& path, int frames, bool from_layers_on = false) {
    static mLogger quiet = {Quiet, nullptr};
    mLogSetDefaultLogger(&quiet);
    mCore* core = mCoreFind(path.c_str());
    if (core == nullptr) {
        ADD_FAILURE() << "mGBA does not take " << path;
        return {};
    }
    std::vector<color_t> screen;
    if (core->init(core)) {
        mCoreInitConfig(core, nullptr);
        unsigned width = 0, height = 0;
        core->desiredVideoDimensions(core, &width, &height);
        EXPECT_EQ(width, unsigned{kScreenWidth});
        EXPECT_EQ(height, unsigned{kScreenHeight});
        screen.assign(std::size_t{width} * height, 0);
        core->setVideoBuffer(core, screen.data(), width);
        if (mCoreLoadFile(core, path.c_str())) {
            core->reset(core);
            for (int i = 0; from_layers_on && i < 600; ++i) {
                core->runFrame(core);
                if (core->busRead16(core, 0x04000000) & 0x1F00) {
                    break;
                }
            }
            for (int i = 0; i < frames; ++i) {
                core->runFrame(core);
            }
        } else {
            ADD_FAILURE() << "mGBA cannot load " << path;
            screen.clear();
        }
        mCoreConfigDeinit(&core->config);
    } else {
        ADD_FAILURE() << "mGBA's core does not start";
    }
    core->deinit(core);
    return screen;
}

Color5 FromScreen(color_t pixel) {
    static_assert(sizeof(color_t) == 4, "mGBA built with 32-bit colour");
    return {(pixel & 0xFFu) >> 3, ((pixel >> 8) & 0xFFu) >> 3, ((pixel >> 16) & 0xFFu) >> 3};
}

#endif

TEST_P(GbaExample, EmulatorShowsWhatTvx2PngDraws) {
    if (*GetParam().missing) {
        GTEST_SKIP() << GetParam().missing;
    }
#if !BMP2TVX_HAVE_EMULATOR
    GTEST_SKIP() << BMP2TVX_EMULATOR_MISSING;
#else
    for (const Rom& rom : kRoms) {
        if (rom.moving) {
            continue;
        }
        SCOPED_TRACE(rom.name);
        std::vector<Picture> pngs;
        for (const Shown& shown : rom.shown) {
            SCOPED_TRACE(shown.picture);
            const std::string tvx = TvxPath(GetParam(), rom, shown);
            const Bytes file = ReadFile(tvx);
            ASSERT_FALSE(file.empty()) << tvx;
            EXPECT_EQ(file[0], shown.format);
            pngs.push_back(DrawWithTvx2Png(tvx));
            const Picture& png = pngs.back();
            ASSERT_GT(png.width, 0u);
            ASSERT_LE(shown.x + png.width, unsigned{kScreenWidth});
            ASSERT_LE(shown.y + png.height, unsigned{kScreenHeight});
            // A paletted picture must have pixels of both kinds, or what is behind it would not
            // be tested.
            std::size_t transparent = 0;
            for (std::size_t i = 3; i < png.rgba.size(); i += 4) {
                transparent += png.rgba[i] == 0;
            }
            if (shown.format == 2) {
                EXPECT_EQ(transparent, 0u);
            } else {
                EXPECT_GT(transparent, 0u);
                EXPECT_LT(transparent, png.rgba.size() / 4);
            }
        }

        const std::vector<color_t> screen = RunRom(RomPath(GetParam(), rom), 10);
        ASSERT_EQ(screen.size(), std::size_t{kScreenWidth * kScreenHeight});
        int compared = 0;
        int differing = 0;
        std::string examples;
        for (int y = 0; y < kScreenHeight; ++y) {
            for (int x = 0; x < kScreenWidth; ++x) {
                const Color5 want = Expected(pngs, rom, x, y);
                const Color5 got =
                    FromScreen(screen[static_cast<std::size_t>(y) * kScreenWidth + x]);
                ++compared;
                if (!(want == got)) {
                    if (++differing <= 5) {
                        examples +=
                            " (" + std::to_string(x) + "," + std::to_string(y) + "): want " +
                            std::to_string(want.red) + "/" + std::to_string(want.green) + "/" +
                            std::to_string(want.blue) + ", got " + std::to_string(got.red) + "/" +
                            std::to_string(got.green) + "/" + std::to_string(got.blue) + ";";
                    }
                }
            }
        }
        std::cout << GetParam().name << ": " << rom.name << ".gba (" << rom.shown.size()
                  << " shown): " << compared << " pixels compared, " << differing << " differ\n";
        EXPECT_EQ(differing, 0) << examples;
        for (const Probe& probe : rom.probes) {
            const Color5 want = probe.black ? Color5{0, 0, 0} : Expected({}, rom, probe.x, probe.y);
            const std::size_t at = static_cast<std::size_t>(probe.y) * kScreenWidth + probe.x;
            EXPECT_TRUE(want == FromScreen(screen[at])) << "(" << probe.x << "," << probe.y << ")";
        }
    }
#endif
}

// The moving ROMs at their times t. After the set-up, however long, each waits for a vertical
// blank, sets the screen for t and at t = 0 turns the layers on; mGBA's frame ends as the vertical
// blank starts, so the first frame after which a layer is on shows t = 0, and t frames on, t.
TEST_P(GbaExample, EmulatorShowsThePicturesMoving) {
    if (*GetParam().missing) {
        GTEST_SKIP() << GetParam().missing;
    }
#if !BMP2TVX_HAVE_EMULATOR
    GTEST_SKIP() << BMP2TVX_EMULATOR_MISSING;
#else
    for (const Rom& rom : kRoms) {
        if (!rom.moving) {
            continue;
        }
        std::vector<Picture> drawn;
        for (const Shown& shown : rom.shown) {
            drawn.push_back(DrawWithTvx2Png(TvxPath(GetParam(), rom, shown), shown.flags));
        }
        for (const int t : rom.times) {
            const std::vector<color_t> screen = RunRom(RomPath(GetParam(), rom), t, true);
            ASSERT_EQ(screen.size(), std::size_t{kScreenWidth * kScreenHeight});
            int differing = 0, first = 0;
            for (int i = 0; i < kScreenWidth * kScreenHeight; ++i) {
                const Color5 want = rom.moving(drawn, t, i % kScreenWidth, i / kScreenWidth);
                if (!(want == FromScreen(screen[std::size_t(i)])) && differing++ == 0) {
                    first = i;
                }
            }
            EXPECT_EQ(differing, 0) << rom.name << " at t = " << t << ", first at ("
                                    << first % kScreenWidth << "," << first / kScreenWidth << ")";
        }
    }
#endif
}

// The two sprites converted with one palette file got the same palette, the one the sprites ROM
// loads once into a bank for both.
TEST_P(GbaExample, SpritesOfOneBankHaveOnePalette) {
    if (*GetParam().missing) {
        GTEST_SKIP() << GetParam().missing;
    }
    const Rom& rom = kRoms[4];
    const Bytes knight = ReadFile(TvxPath(GetParam(), rom, rom.shown[2]));
    const Bytes ghost = ReadFile(TvxPath(GetParam(), rom, rom.shown[3]));
    ASSERT_GE(knight.size(), 8u + 32u);
    ASSERT_GE(ghost.size(), 8u + 32u);
    EXPECT_TRUE(std::equal(knight.begin() + 8, knight.begin() + 40, ghost.begin() + 8));
    EXPECT_FALSE(knight == ghost);
}

INSTANTIATE_TEST_SUITE_P(Builds, GbaExample, testing::ValuesIn(kBuilds),
                         [](const testing::TestParamInfo<Build>& info) { return info.param.name; });

// Both builds compile, assemble and link alike, so they give the same ROMs, byte for byte.
TEST(GbaExampleBuilds, MakeGivesTheRomsCMakeGives) {
    for (const Build& build : kBuilds) {
        if (*build.missing) {
            GTEST_SKIP() << build.name << ": " << build.missing;
        }
    }
    for (const Rom& rom : kRoms) {
        EXPECT_TRUE(ReadFile(RomPath(kBuilds[0], rom)) == ReadFile(RomPath(kBuilds[1], rom)))
            << rom.name;
    }
}

}  // namespace
}  // namespace bmp2tvx::test
