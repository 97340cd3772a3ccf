// The example game (examples/gba/), as its CMake build and its Makefile make it, on the mGBA
// emulator core: each ROM runs headless for a few frames, and every pixel of its 240 x 160 screen
// must be what tvx2png draws for the files the ROM embeds, each where the ROM shows it, over the
// checkerboard of sprites behind them: where a file's PNG is transparent the screen shows what is
// behind it, elsewhere the PNG's colour. The comparison is in the hardware's 15-bit colours:
// tvx2png widens each 5-bit component by repeating its top bits, mGBA by its own rule, and both
// keep the 5 bits on top. Each logo ROM also checks that tvx_valid refuses a copy of its file at
// an odd address, and every ROM shows a red screen instead of its pictures if a check fails.
#include <algorithm>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backdrop.h"
#include "sprites.h"
#include "test_support.h"

#if BMP2TVX_HAVE_EMULATOR
#include <mgba/core/core.h>
#include <mgba/core/log.h>
#include "png_support.h"
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

// A tile image file a ROM shows, with its top left corner at (x, y).
struct Shown {
    const char* picture;  // <picture>.tvx
    std::uint8_t format;  // its first byte: 0 Index16, 1 Index256, 2 FullColor16
    int x, y;
};

// A pixel whose colour on screen is known whatever tvx2png draws: black, or the checkerboard.
struct Probe {
    int x, y;
    bool black;
};

struct Rom {
    const char* name;          // <name>.gba
    std::vector<Shown> shown;  // topmost first
    std::vector<Probe> probes{};
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

// What tvx2png draws for `tvx`, run as a user runs it.
Picture DrawWithTvx2Png(const std::string& tvx) {
    TempDir dir;
    WriteFile(dir / "logo.tvx", ReadFile(tvx));
    RunOptions options;
    options.program = TVX2PNG_PATH;
    const RunResult run = RunTool({"logo.tvx", "logo.png"}, dir.path, options);
    EXPECT_EQ(run.status, 0) << run.err;
    return ReadPng(dir / "logo.png");
}

// A 15-bit colour as red, green, blue components of 5 bits.
struct Color5 {
    unsigned red, green, blue;
    bool operator==(const Color5&) const = default;
};

Color5 From15(std::uint16_t word) {
    return {word & 0x1Fu, (word >> 5) & 0x1Fu, (word >> 10) & 0x1Fu};
}

// What the screen must show at column x, row y: the topmost opaque pixel of the drawings there,
// each drawn with its top left corner at its own (x, y), or else the checkerboard.
Color5 Expected(const std::vector<Picture>& pngs, const Rom& rom, int x, int y) {
    for (std::size_t i = 0; i < pngs.size(); ++i) {
        const Picture& png = pngs[i];
        const auto column = static_cast<std::uint32_t>(x - rom.shown[i].x);
        const auto row = static_cast<std::uint32_t>(y - rom.shown[i].y);
        if (column < png.width && row < png.height) {
            const std::uint8_t* p = &png.rgba[4 * (std::size_t{row} * png.width + column)];
            if (p[3] == 255) {
                return {p[0] / 8u, p[1] / 8u, p[2] / 8u};
            }
        }
    }
    const bool light = (x / BACKDROP_SQUARE + y / BACKDROP_SQUARE) % 2 == 0;
    return From15(light ? BACKDROP_LIGHT : BACKDROP_DARK);
}

void Quiet(mLogger*, int, mLogLevel, const char*, va_list) {}

// The screen after `frames` frames of the ROM, as mGBA's 32-bit pixels: red in the low byte,
// then green, then blue, each 5-bit component shifted to the top of its byte.
std::vector<color_t> RunRom(const std::string& path, int frames) {
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
