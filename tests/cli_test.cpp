// The built executable, run as a user runs it.
#include <algorithm>

#include <gtest/gtest.h>

#include "test_support.h"

namespace bmp2tvx::test {
namespace {

Bytes Picture8(std::int32_t width, std::int32_t height, std::uint8_t modulo = 16) {
    BmpSpec spec;
    spec.width = width;
    spec.height = height;
    spec.table = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    for (std::int32_t i = 0; i < width * height; ++i) {
        spec.pixels.push_back(static_cast<std::uint8_t>((i * 5 + i / width) % modulo));
    }
    return BuildBmp(spec);
}

Bytes Picture24(std::int32_t width, std::int32_t height) {
    BmpSpec spec;
    spec.width = width;
    spec.height = height;
    spec.bitCount = 24;
    for (std::int32_t i = 0; i < width * height * 3; ++i) {
        spec.pixels.push_back(static_cast<std::uint8_t>(i * 13));
    }
    return BuildBmp(spec);
}

// Every pixel a colour of its own.
Bytes Distinct24(std::int32_t width, std::int32_t height) {
    BmpSpec spec;
    spec.width = width;
    spec.height = height;
    spec.bitCount = 24;
    for (std::int32_t i = 0; i < width * height; ++i) {
        spec.pixels.insert(spec.pixels.end(),
                           {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8), 7});
    }
    return BuildBmp(spec);
}

// `cells` cells side by side, each of 15 colours that no other cell has.
Bytes Banded24(std::int32_t cells) {
    BmpSpec spec;
    spec.width = 8 * cells;
    spec.height = 8;
    spec.bitCount = 24;
    for (std::int32_t i = 0; i < 64 * cells; ++i) {
        const std::int32_t colour = i % spec.width / 8 * 15 + i % 15;
        spec.pixels.insert(spec.pixels.end(), {static_cast<std::uint8_t>(8 * colour + 8), 0, 9});
    }
    return BuildBmp(spec);
}

TEST(Cli, UsageWithNoArguments) {
    TempDir dir;
    const RunResult r = RunTool({}, dir.path);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Usage: (flags) [infile]\n");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(ListDir(dir.path).empty());
}

// --help and --version alone answer on standard output; beside anything else they are ordinary
// arguments, as is every look-alike.
TEST(Cli, HelpAndVersion) {
    const std::string version = BMP2TVX_VERSION;
    const struct {
        std::string program;
        std::vector<std::string> args;
        int status;
        std::string out;  // "Usage:...": the usage block, whose first line this is
        std::string err;
    } cases[] = {
        {BMP2TVX_PATH, {"--version"}, 0, "bmp2tvx " + version + "\n", ""},
        {BMP2TVX_PATH, {"--help"}, 0, "Usage: bmp2tvx [flags] picture", ""},
        {BMP2TVX_PATH,
         {"--help", "in.bmp"},
         0,
         "in.tvx [Index] (16,8) -> [Index256] (2c,1c)\n",
         ""},
        {BMP2TVX_PATH, {"--version", "--help"}, 1, "", "Could not open --help.\n"},
        {BMP2TVX_PATH, {"-help"}, 1, "", "Could not open -help.\n"},
#ifdef TVX2PNG_PATH
        {TVX2PNG_PATH, {"--version"}, 0, "tvx2png " + version + "\n", ""},
        {TVX2PNG_PATH, {"--help"}, 0, "Usage: tvx2png [options] IN.tvx [OUT.png|OUT.bmp]", ""},
        {TVX2PNG_PATH, {"--help", "out.png"}, 1, "", "Could not open --help.\n"},
        {TVX2PNG_PATH, {"-help"}, 1, "", "Could not open -help.\n"},
        {TVX2PNG_PATH,
         {"--palete-out=p.gpl", "in.bmp"},
         1,
         "",
         "--palete-out=p.gpl is not an option of tvx2png: tvx2png --help lists them.\n"},
        {TVX2PNG_PATH,
         {"--palette-out", "in.bmp"},
         1,
         "",
         "--palette-out is not of the form --palette-out=FILE: tvx2png --help lists the "
         "options.\n"},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program + " " + c.args[0]);
        TempDir dir;
        WriteFile(dir / "in.bmp", Picture8(16, 8));
        RunOptions options;
        options.program = c.program;
        const RunResult r = RunTool(c.args, dir.path, options);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
        if (c.out.rfind("Usage:", 0) == 0) {
            EXPECT_EQ(r.out.rfind(c.out + "\n", 0), 0u) << r.out;
            const std::string manual = "The manual: man " + c.out.substr(7, 7) + "\n";
            EXPECT_EQ(r.out.substr(r.out.size() - std::min(r.out.size(), manual.size())), manual);
        } else {
            EXPECT_EQ(r.out, c.out);
        }
        EXPECT_EQ(ListDir(dir.path).size(),
                  c.args[0] == "--help" && c.status == 0 && c.args.size() == 2 ? 2u : 1u);
    }
}

// Successful runs: the summary line, and the file's size and header.
TEST(Cli, Conversions) {
    const struct {
        const char* name;
        Bytes bmp;
        std::vector<std::string> args;
        const char* out;
        const char* outputName;
        std::size_t size;
        Bytes header;
    } cases[] = {
        {"summary example",
         Picture8(64, 32),
         {"logo.bmp"},
         "logo.tvx [Index] (64,32) -> [Index256] (8c,4c)\n",
         "logo.tvx",
         8 + 512 + 32 * 64,
         {1, 0, 8, 0, 4, 0, 32, 0}},
        {"Index16 of 16 x 8",
         Picture8(16, 8),
         {"-c4", "p.bmp"},
         "p.tvx [Index] (16,8) -> [Index16] (2c,1c)\n",
         "p.tvx",
         104,
         {0, 0, 2, 0, 1, 0, 2, 0}},
        {"screen-sized 24-bit",
         Picture24(240, 160),
         {"screen.bmp"},
         "screen.tvx [FullColor] (240,160) -> [FullColor16] (30c,20c)\n",
         "screen.tvx",
         8 + 76800,
         {2, 0, 30, 0, 20, 0, 0x58, 0x02}},
        {"tile count wraps to 0",
         Picture8(2048, 2048),
         {"big.bmp"},
         "big.tvx [Index] (2048,2048) -> [Index256] (256c,256c)\n",
         "big.tvx",
         8 + 512 + 65536 * 64,
         {1, 0, 0, 1, 0, 1, 0, 0}},
        {"8-bit to FullColor16",
         Picture8(8, 16),
         {"-c16", "p.bmp"},
         "p.tvx [Index] (8,16) -> [FullColor16] (1c,2c)\n",
         "p.tvx",
         8 + 256,
         {2, 0, 1, 0, 2, 0, 2, 0}},
        {"zero width",
         Picture8(0, 16),
         {"-c4", "p.bmp"},
         "p.tvx [Index] (0,16) -> [Index16] (0c,2c)\n",
         "p.tvx",
         8 + 32,
         {0, 0, 0, 0, 2, 0, 0, 0}},
        {"input named like a flag",
         Picture8(8, 8),
         {"-c4.bmp"},
         "-c4.tvx [Index] (8,8) -> [Index16] (1c,1c)\n",
         "-c4.tvx",
         8 + 32 + 32,
         {0, 0, 1, 0, 1, 0, 1, 0}},
        {"--output to another name, from a path of two bytes",
         Picture8(8, 8),
         {"--output=sprite.gfx", "ab"},
         "sprite.gfx [Index] (8,8) -> [Index256] (1c,1c)\n",
         "sprite.gfx",
         8 + 512 + 64,
         {1, 0, 1, 0, 1, 0, 1, 0}},
        {"--output from an input ending in tvx",
         Picture8(8, 8),
         {"-c4", "--output=b.tvx", "a.tvx"},
         "b.tvx [Index] (8,8) -> [Index16] (1c,1c)\n",
         "b.tvx",
         8 + 32 + 32,
         {0, 0, 1, 0, 1, 0, 1, 0}},
        {"bad depth goes on",
         Picture8(8, 8),
         {"-cat.bmp"},
         "ERROR: Invalid target color bit depth: 0.\n"
         "-cat.tvx [Index] (8,8) -> [Index256] (1c,1c)\n",
         "-cat.tvx",
         8 + 512 + 64,
         {1, 0, 1, 0, 1, 0, 1, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string input = c.args.back();
        WriteFile(dir / input, c.bmp);
        const RunResult r = RunTool(c.args, dir.path);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
        const Bytes file = ReadFile(dir / c.outputName);
        EXPECT_EQ(file.size(), c.size);
        EXPECT_EQ(Bytes(file.begin(), file.begin() + std::min<std::size_t>(8, file.size())),
                  c.header);
        EXPECT_EQ(ReadFile(dir / input), c.bmp);
        EXPECT_EQ(ListDir(dir.path).size(), 2u);
    }
}

// Names in any script, and paths through folders, as the user typed them: the output lands
// beside the input, and the summary line names it exactly so.
TEST(Cli, NamesAndFolders) {
    const Bytes bmp = Picture8(8, 8);
    const Bytes expected = ConvertInMemory(bmp);
    ASSERT_FALSE(expected.empty());
    const struct {
        const char* input;
        const char* output;  // relative to the test's folder, with "/" between folders
    } cases[] = {
        {"\xE6\x97\xA5\xE6\x9C\xAC.bmp", "\xE6\x97\xA5\xE6\x9C\xAC.tvx"},  // Japanese
        {"\xCE\xA9mega.bmp", "\xCE\xA9mega.tvx"},                          // Greek capital omega
        {"sub/in.bmp", "sub/in.tvx"},
#ifdef _WIN32
        {"sub\\in.bmp", "sub/in.tvx"},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        TempDir dir;
        std::filesystem::create_directory(PathOf(dir / "sub"));
        std::string input = c.input;
        std::replace(input.begin(), input.end(), '\\', '/');
        WriteFile(dir / input, bmp);
        // "Omega" without the Greek letter must not be taken for it.
        WriteFile(dir / "Omega.bmp", Picture8(16, 8));
        const RunResult r = RunTool({c.input}, dir.path);
        EXPECT_EQ(r.status, 0) << r.err;
        std::string typedOutput = c.input;
        typedOutput.replace(typedOutput.size() - 3, 3, "tvx");
        EXPECT_EQ(r.out, typedOutput + " [Index] (8,8) -> [Index256] (1c,1c)\n");
        EXPECT_EQ(ReadFile(dir / c.output), expected);
        EXPECT_FALSE(FileExists(dir / "Omega.tvx"));
        EXPECT_EQ(ListDir(dir / "sub").size(), input.rfind("sub/", 0) == 0 ? 2u : 0u);
    }
}

// A rebuild: an output already there is replaced by the new one, whole, and nothing else is left
// behind. Through a symbolic link, the file it names is replaced and the link kept.
TEST(Cli, ExistingOutputIsReplaced) {
    const Bytes bmp = Picture8(16, 8);
    const Bytes expected = ConvertInMemory(bmp);
    ASSERT_EQ(expected.size(), 8u + 512 + 2 * 64);
    const struct {
        const char* name;
        bool throughLink;
        std::string missing;
    } cases[] = {
        {"a regular file", false, ""},
        {"a link to a regular file in another folder", true, WhyNoSymlinks()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.missing.empty()) {
            SkipCase(c.name, c.missing);
            continue;
        }
        TempDir dir;
        WriteFile(dir / "in.bmp", bmp);
        std::string target = dir / "in.tvx";
        if (c.throughLink) {
            std::filesystem::create_directory(PathOf(dir / "elsewhere"));
            target = dir / "elsewhere/real.tvx";
            std::error_code error;
            std::filesystem::create_symlink(PathOf("elsewhere/real.tvx"), PathOf(dir / "in.tvx"),
                                            error);
            ASSERT_FALSE(error) << error.message();
        }
        WriteFile(target, {'o', 'l', 'd'});
        for (int run = 0; run < 2; ++run) {  // replacing the old file, then its own output
            const RunResult r = RunTool({"in.bmp"}, dir.path);
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(ReadFile(target), expected);
            EXPECT_EQ(ReadFile(dir / "in.tvx"), expected);
        }
        if (c.throughLink) {
            EXPECT_TRUE(std::filesystem::is_symlink(PathOf(dir / "in.tvx")));
            EXPECT_EQ(ListDir(dir / "elsewhere"), std::vector<std::string>{"real.tvx"});
            EXPECT_EQ(ListDir(dir.path),
                      (std::vector<std::string>{"elsewhere", "in.bmp", "in.tvx"}));
        } else {
            EXPECT_EQ(ListDir(dir.path), (std::vector<std::string>{"in.bmp", "in.tvx"}));
        }
    }
}

// A second name for the input itself is refused before anything is printed or written, and
// nothing changes, links included. A link to another file, or to nothing, still takes the output.
TEST(Cli, OutputThatIsTheInputItself) {
    namespace fs = std::filesystem;
    const Bytes bmp = Picture8(16, 8);
    const Bytes png = ReadFile(std::string(BMP2TVX_TEST_DATA) + "/pngsuite/basn3p08.png");
    const std::string noLinks = WhyNoSymlinks();
    const struct {
        const char* name;
        std::string missing;  // why this system cannot make the case
        const char* picture;  // where the BMP is written
        std::vector<std::pair<const char*, const char*>> links;  // name, target ("=": hard link)
        const char* cwd;
        const char* input;             // empty: the picture's short 8.3 name
        const char* receiver;          // the file that takes the output; nullptr when refused
        const char* output = nullptr;  // given with --output, else the input's with tvx
    } cases[] = {
        {"symbolic link", noLinks, "pic.bmp", {{"pic.tvx", "pic.bmp"}}, "", "pic.bmp", nullptr},
        {"hard link", "", "pic.bmp", {{"pic.tvx", "=pic.bmp"}}, "", "pic.bmp", nullptr},
        {"chain of links",
         noLinks,
         "art/real.bmp",
         {{"pic.bmp", "art/real.bmp"}, {"mid", "art/real.bmp"}, {"pic.tvx", "mid"}},
         "",
         "pic.bmp",
         nullptr},
        {"link through the parent folder",
         noLinks,
         "folder/pic.bmp",
         {{"folder/pic.tvx", "../folder/pic.bmp"}},
         "folder",
         "pic.bmp",
         nullptr},
        {"link to another file",
         noLinks,
         "pic.bmp",
         {{"pic.tvx", "pic.bmp.tvx"}},
         "",
         "pic.bmp",
         "pic.bmp.tvx"},
        {"dangling link", noLinks, "pic.bmp", {{"pic.tvx", "gone.tvx"}}, "", "pic.bmp", "pic.tvx"},
        // Pictures whose names hold "png" are PNGs, which are guarded as well in every build.
        {"symbolic link to a PNG",
         noLinks,
         "pic.png",
         {{"pic.tvx", "pic.png"}},
         "",
         "pic.png",
         nullptr},
        {"hard link to a PNG", "", "pic.png", {{"pic.tvx", "=pic.png"}}, "", "pic.png", nullptr},
        {"--output through a symbolic link",
         noLinks,
         "pic.bmp",
         {{"out.gfx", "pic.bmp"}},
         "",
         "pic.bmp",
         nullptr,
         "out.gfx"},
        {"--output through a hard link",
         "",
         "pic.bmp",
         {{"o.tvx", "=pic.bmp"}},
         "",
         "pic.bmp",
         nullptr,
         "o.tvx"},
        {"--output elsewhere", "", "pic.bmp", {}, "", "pic.bmp", "o.tvx", "o.tvx"},
#ifdef _WIN32
        {"name that differs in case", "", "pic.TVX", {}, "", "pic.TVX", nullptr},
        {"PNG under a name that differs in case", "", "png.TVX", {}, "", "png.TVX", nullptr},
        {"short name", "", "picture file.tvx", {}, "", "", nullptr},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.missing.empty()) {
            SkipCase(c.name, c.missing);
            continue;
        }
        TempDir dir;
        fs::create_directories(PathOf(dir / c.picture).parent_path());
        WriteFile(dir / c.picture,
                  std::string(c.picture).find("png") != std::string::npos ? png : bmp);
        WriteFile(dir / "pic.bmp.tvx", {'o', 'l', 'd'});
        for (const auto& [name, target] : c.links) {
            if (*target == '=') {
                fs::create_hard_link(PathOf(dir / (target + 1)), PathOf(dir / name));
            } else {
                fs::create_symlink(PathOf(target), PathOf(dir / name));
            }
        }
        const std::string input = *c.input ? c.input : ShortName(dir / c.picture);
        const std::string output = c.output ? c.output : input.substr(0, input.size() - 3) + "tvx";
        std::vector<std::string> args = {input};
        if (c.output) {
            args.insert(args.begin(), "--output=" + output);
        }
        auto expected = Snapshot(dir.path);
        const RunResult r = RunTool(args, *c.cwd ? dir / c.cwd : dir.path);
        EXPECT_EQ(r.status, c.receiver ? 0 : 1);
        if (c.receiver) {
            expected[c.receiver] = ConvertInMemory(bmp);
            EXPECT_EQ(r.out, output + " [Index] (16,8) -> [Index256] (2c,1c)\n");
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, input + " is the same file as its output " + output +
                                 ", so the output would replace it.\n");
        }
        EXPECT_EQ(Snapshot(dir.path), expected);
    }
}

// Every refusal: one line on standard error, exit status 1, nothing written, nothing changed.
TEST(Cli, Refusals) {
    const Bytes good8 = Picture8(16, 16);
    const Bytes oldOutput = {'o', 'l', 'd'};
    const struct {
        const char* name;
        std::map<std::string, Bytes> files;
        std::vector<std::string> args;
        const char* err;
        const char* out;
        long fileSizeLimit;
    } cases[] = {
        {"missing input", {}, {"none.bmp"}, "Could not open none.bmp.\n", "", -1},
        {"flag after the input",
         {{"in.bmp", good8}},
         {"in.bmp", "-c4"},
         "Could not open -c4.\n",
         "",
         -1},
        {"a mistyped option, after a bad -c",
         {{"in.bmp", good8}, {"in.tvx", oldOutput}},
         {"-c5", "--pallete=bank.pal", "in.bmp"},
         "--pallete=bank.pal is not an option of bmp2tvx: bmp2tvx --help lists them.\n",
         "",
         -1},
        {"a key colour that cannot be read",
         {{"in.bmp", good8}},
         {"--key=#12345", "in.bmp"},
         "--key=#12345 is not of the form --key=RRGGBB or --key=none: bmp2tvx --help lists the "
         "options.\n",
         "",
         -1},
        {"a frame size the tiles cannot make",
         {{"in.bmp", good8}},
         {"--frame=12x16", "in.bmp"},
         "--frame=12x16 is not a frame size the handheld's tiles make: its width and height must "
         "be multiples of 8, and not 0.\n",
         "",
         -1},
        {"frames of a bitmap, asked for",
         {{"in.bmp", good8}},
         {"--frame=8x8", "-c16", "in.bmp"},
         "--frame=8x8 cannot be used with FullColor16: a bitmap has no tiles.\n",
         "",
         -1},
        {"a map of a bitmap",
         {{"in.bmp", good8}},
         {"--map", "-c16", "in.bmp"},
         "--map cannot be used with FullColor16: a background's map places tiles, which a bitmap "
         "has none of.\n",
         "",
         -1},
        {"an affine map of 4-bit tiles",
         {{"in.bmp", good8}},
         {"-c4", "--map=affine", "in.bmp"},
         "--map=affine needs Index256 (-c8): an affine background's tiles are 8 bits a pixel.\n",
         "",
         -1},
        {"a map of frames",
         {{"in.bmp", good8}},
         {"--frame=8x8", "--map", "in.bmp"},
         "--map cannot be used with --frame: a background's tiles are its own, not a sprite "
         "sheet's frames.\n",
         "",
         -1},
        {"a base without a map",
         {{"in.bmp", good8}},
         {"--bank-base=2", "in.bmp"},
         "--bank-base=2 numbers a background's map, and is used only with --map.\n",
         "",
         -1},
        {"a tile base past the last tile",
         {{"in.bmp", good8}},
         {"--map", "--tile-base=1024", "in.bmp"},
         "--tile-base=1024 is not of the form --tile-base=N (N from 0 to 1023): "
         "bmp2tvx --help lists the options.\n",
         "",
         -1},
        {"tiles past an affine map's last",
         {{"in.bmp", good8}, {"in.tvm", oldOutput}},
         {"--map=affine", "--tile-base=255", "in.bmp"},
         "in.bmp has 2 distinct tiles; from tile 255, affine maps have room for 1.\n",
         "",
         -1},
        {"banks past the last",
         {{"in.bmp", Banded24(2)}},
         {"-c4", "--map", "--bank-base=15", "in.bmp"},
         "in.bmp needs 2 palette banks; from bank 15, a map has room for 1.\n",
         "",
         -1},
        {"a cell of 58 colours",
         {{"in.bmp", Picture24(16, 8)}},
         {"-c4", "--map", "in.bmp"},
         "in.bmp has a cell at (0,0) of 58 colours; a palette bank holds 15 besides its "
         "transparent entry 0.\n",
         "",
         -1},
        {"a cell across two kept banks",
         {{"in.bmp", Picture8(16, 16, 32)}},
         {"-c4", "--key=none", "--map", "in.bmp"},
         "in.bmp has a cell at (0,0) whose pixels use more than one bank of 16 entries; with "
         "--key=none and --map, each cell keeps to one.\n",
         "",
         -1},
        {"a map that would replace the input",
         {{"in.tvm", good8}},
         {"--map", "in.tvm"},
         "in.tvm already ends in tvm, so its map would replace it.\n",
         "",
         -1},
        {"a map that would replace the tiles",
         {{"in.bmp", good8}},
         {"--map", "--output=out.tvm", "in.bmp"},
         "out.tvm already ends in tvm, so its map would replace it.\n",
         "",
         -1},
        {"not a bitmap",
         {{"in.bmp", {'G', 'I', 'F', '8'}}},
         {"in.bmp"},
         "in.bmp is not a valid bitmap file.\n",
         "",
         -1},
        {"truncated, old output kept",
         {{"in.bmp", Bytes(good8.begin(), good8.end() - 1)}, {"in.tvx", oldOutput}},
         {"in.bmp"},
         "in.bmp is truncated.\n",
         "",
         -1},
        {"path of two bytes",
         {{"ab", good8}},
         {"ab"},
         "Cannot name an output file after ab: the path is shorter than 3 bytes.\n",
         "",
         -1},
        {"input already ends in tvx",
         {{"in.tvx", good8}},
         {"in.tvx"},
         "in.tvx already ends in tvx, so its output would replace it.\n",
         "",
         -1},
        {"--output is the input's path",
         {{"in.bmp", good8}},
         {"--output=in.bmp", "in.bmp"},
         "--output names the input in.bmp itself, so the output would replace it.\n",
         "",
         -1},
        {"24-bit with 64 colours as Index16",
         {{"in.bmp", Picture24(8, 8)}},
         {"-c4", "in.bmp"},
         "in.bmp uses 64 colours besides the key colour; Index16 has room for 15.\n",
         "",
         -1},
        {"24-bit with 384 colours as Index256",
         {{"in.bmp", Distinct24(16, 24)}},
         {"-c8", "in.bmp"},
         "in.bmp uses 384 colours besides the key colour; Index256 has room for 255.\n",
         "",
         -1},
        {"frames of a bitmap, by default",
         {{"in.bmp", Picture24(8, 8)}},
         {"--frame=8x8", "in.bmp"},
         "--frame=8x8 cannot be used with FullColor16: a bitmap has no tiles.\n",
         "",
         -1},
        {"frames that do not divide the picture",
         {{"in.bmp", good8}},
         {"--frame=16x24", "in.bmp"},
         "in.bmp is 16x16 pixels, which frames of 16x24 do not divide.\n",
         "",
         -1},
        {"Index16 with colour 16",
         {{"in.bmp", Picture8(16, 16, 17)}},
         {"-c4", "in.bmp"},
         "in.bmp uses colours above 15 and cannot be written as Index16.\n",
         "",
         -1},
        {"output path is a folder",
         {{"in.bmp", good8}},
         {"in.bmp"},
         "Could not open in.tvx.\n",
         "in.tvx [Index] (16,16) -> [Index256] (2c,2c)\n",
         -1},
        {"disk full, old output kept",
         {{"in.bmp", good8}, {"in.tvx", oldOutput}},
         {"in.bmp"},
         "Could not write in.tvx.\n",
         "in.tvx [Index] (16,16) -> [Index256] (2c,2c)\n",
         300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        for (const auto& [name, bytes] : c.files) {
            WriteFile(dir / name, bytes);
        }
        if (std::string(c.name) == "output path is a folder") {
            ASSERT_TRUE(std::filesystem::create_directory(PathOf(dir / "in.tvx")));
        }
        if (c.fileSizeLimit >= 0 && !WhyNoFileSizeLimit().empty()) {
            SkipCase(c.name, WhyNoFileSizeLimit());
            continue;
        }
        const auto before = Snapshot(dir.path);
        RunOptions options;
        options.fileSizeLimit = c.fileSizeLimit;
        const RunResult r = RunTool(c.args, dir.path, options);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(Snapshot(dir.path), before);
    }
}

// The same picture stored in other ways gives the same file.
TEST(Cli, StorageVariantsGiveIdenticalFiles) {
    BmpSpec spec;
    spec.width = 24;
    spec.height = 16;
    spec.table = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
    for (int i = 0; i < 24 * 16; ++i) {
        spec.pixels.push_back(static_cast<std::uint8_t>((i * 7 + i / 24) % 3));
    }
    const Bytes reference = ConvertInMemory(BuildBmp(spec));
    ASSERT_EQ(reference.size(), 8u + 512 + 6 * 64);
    BmpSpec topDown = spec;
    topDown.topDown = true;
    BmpSpec v5 = spec;
    v5.infoSize = 124;
    v5.gap = 3;  // less than one entry: not counted as colours
    EXPECT_EQ(ConvertInMemory(BuildBmp(topDown)), reference);
    EXPECT_EQ(ConvertInMemory(BuildBmp(v5)), reference);
}

}  // namespace
}  // namespace bmp2tvx::test
