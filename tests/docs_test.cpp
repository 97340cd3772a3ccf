// The commands the README and the manual pages show, run as printed: each bmp2tvx and tvx2png
// line of the README's examples succeeds without a word on standard error, and each "$ " line of
// a manual page's examples prints exactly the lines printed under it. They run in order, in a
// folder holding the pictures they name, with the built tools on the PATH and as build/.
#include <fstream>
#include <optional>

#include <gtest/gtest.h>

#include "test_support.h"

namespace bmp2tvx::test {
namespace {

#if defined(TVX2PNG_PATH) && !defined(_WIN32)
}  // namespace
}  // namespace bmp2tvx::test

#include "png_support.h"

namespace bmp2tvx::test {
namespace {

namespace fs = std::filesystem;

struct Shown {
    std::string command;
    std::optional<std::string> out;  // what the page prints under it, if it prints anything
};

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(std::string(BMP2TVX_SOURCE_DIR) + "/" + path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The README's indented code lines that run one of the tools, outside fenced blocks.
std::vector<Shown> ReadmeCommands() {
    std::vector<Shown> shown;
    bool fenced = false;
    for (const std::string& line : Lines("README.md")) {
        fenced = fenced != line.starts_with("```");
        for (const char* tool : {"bmp2tvx ", "tvx2png ", "build/bmp2tvx ", "build/tvx2png "}) {
            // A synopsis, such as "bmp2tvx [flags] picture.png", is not a command.
            if (!fenced && line.starts_with(std::string("    ") + tool) &&
                line.find('[') == std::string::npos) {
                shown.push_back({line.substr(4), std::nullopt});
            }
        }
    }
    return shown;
}

// A manual page's "$ " lines in its literal displays, with the lines below each.
std::vector<Shown> ManPageCommands(const std::string& page) {
    std::vector<Shown> shown;
    bool literal = false;
    bool under = false;  // in the lines a command prints
    for (const std::string& line : Lines("man/" + page)) {
        literal = line.starts_with(".Bd -literal") || (literal && line != ".Ed");
        under = literal && (line.starts_with("$ ") || under);
        if (literal && line.starts_with("$ ")) {
            shown.push_back({line.substr(2), ""});
        } else if (under) {
            *shown.back().out += line + "\n";
        }
    }
    return shown;
}

// A 32 x 32 true-colour sprite on magenta, of eight colours.
Bytes Sprite24() {
    BmpSpec spec;
    spec.width = spec.height = 32;
    spec.bitCount = 24;
    for (int i = 0; i < 32 * 32; ++i) {
        const int x = i % 32, y = i / 32, k = (x / 4 + y / 4) % 8;
        const bool inside = (x - 16) * (x - 16) + (y - 16) * (y - 16) < 150;
        spec.pixels.insert(spec.pixels.end(), {static_cast<std::uint8_t>(inside ? 30 * k : 255),
                                               static_cast<std::uint8_t>(inside ? 200 : 0), 255});
    }
    return BuildBmp(spec);
}

void RunAll(const std::vector<Shown>& shown, const std::map<std::string, std::string>& pictures) {
    ASSERT_FALSE(shown.empty());
    TempDir dir;
    fs::create_directories(PathOf(dir / "bin"));
    fs::create_directories(PathOf(dir / "examples"));
    fs::create_directory_symlink(fs::path(BMP2TVX_PATH).parent_path(), PathOf(dir / "build"));
    for (const char* tool : {BMP2TVX_PATH, TVX2PNG_PATH}) {
        fs::create_symlink(tool, PathOf(dir / "bin") / fs::path(tool).filename());
    }
    WriteFile(dir / "sprite.bmp", Sprite24());
    // A tile sheet kept with a stand-in palette of one colour, and its real colours beside it.
    Bytes indices;
    for (std::uint8_t i = 0; i < 64; ++i) {
        indices.push_back(i % 16);
    }
    WriteFile(
        dir / "tiles.png",
        BuildPng({8, 8, 3, 4, false, std::vector<ColorEntry>(16, {90, 90, 90}), {}, indices}));
    std::string jasc = "JASC-PAL\r\n0100\r\n16\r\n";
    for (int i = 0; i < 16; ++i) {
        jasc += std::to_string(i * 16) + " 0 0\r\n";
    }
    WriteFile(dir / "tiles.pal", Bytes(jasc.begin(), jasc.end()));
    for (const auto& [name, from] : pictures) {
        WriteFile(dir / name, ReadFile(std::string(BMP2TVX_SOURCE_DIR) + "/" + from));
    }
    RunOptions shell;
    shell.program = "/bin/sh";
    for (const Shown& s : shown) {
        SCOPED_TRACE(s.command);
        const RunResult r =
            RunTool({"-c", "PATH=\"$PWD/bin:$PATH\"; " + s.command}, dir.path, shell);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        if (s.out) {
            EXPECT_EQ(r.out, *s.out);
        }
    }
}

TEST(Docs, CommandsRunAsPrinted) {
    const std::map<std::string, std::string> common = {
        {"examples/logo.bmp", "examples/logo.bmp"},
        {"logo.bmp", "examples/logo.bmp"},
        {"slime.png", "examples/sprites/slime_kept.png"},
        {"walk.png", "examples/sprites/walk.png"},
        {"field.png", "examples/backgrounds/field.png"},
        {"dial.png", "examples/backgrounds/dial.png"}};
    // The README's hero and enemy share a palette; the manual's hero is an indexed PNG.
    std::map<std::string, std::string> readme = common, manual = common;
    readme.insert({{"hero.png", "examples/sprites/knight.png"},
                   {"enemy.png", "examples/sprites/ghost.png"},
                   {"bank0.gpl", "examples/sprites/bank1.gpl"}});
    manual.insert({"hero.png", "examples/sprites/sprite.png"});
    RunAll(ReadmeCommands(), readme);
    RunAll(ManPageCommands("bmp2tvx.1"), manual);
    // tvx2png's page starts from a tile image file with a 16-colour palette.
    std::vector<Shown> preview = {{"bmp2tvx -c4 hero.png", std::nullopt}};
    for (const Shown& s : ManPageCommands("tvx2png.1")) {
        preview.push_back(s);
    }
    RunAll(preview, manual);
}
#else
TEST(Docs, CommandsRunAsPrinted) {
    GTEST_SKIP() << "the commands are run with tvx2png and a POSIX shell, which this build lacks";
}
#endif

}  // namespace
}  // namespace bmp2tvx::test
