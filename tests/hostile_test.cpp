// Hostile input and failing output, through the real executable: one line and exit status 1, or
// a clean conversion; never a crash, a hang, a stray file or a changed file.
#include <filesystem>
#include <functional>
#include <map>

#include <gtest/gtest.h>

#include "test_support.h"
#ifdef BMP2TVX_READS_PNG
#include "png_support.h"
#endif

namespace bmp2tvx::test {
namespace {

Bytes Good() {
    BmpSpec spec;
    spec.width = 16;
    spec.height = 8;
    spec.table = {{0, 0, 0}, {255, 255, 255}};
    spec.pixels.assign(128, 1);
    return BuildBmp(spec);
}

Bytes With(std::function<void(Bytes&)> change) {
    Bytes file = Good();
    change(file);
    return file;
}

auto Field32(std::size_t offset, std::uint32_t value) {
    return [=](Bytes& f) { Poke32(f, offset, value); };
}

struct Case {
    const char* name;
    Bytes input;
    const char* err;  // nullptr: the file converts
    std::vector<std::string> flags = {};
    std::function<void(const TempDir&)> setup = nullptr;
    RunOptions options = {};
    std::string inputName = "in.bmp";
    std::string missing = "";  // why this system cannot run the case, if it cannot
};

namespace fs = std::filesystem;

void Check(const Case& c) {
    SCOPED_TRACE(c.name);
    if (!c.missing.empty()) {
        SkipCase(c.name, c.missing);
        return;
    }
    TempDir dir;
    fs::permissions(PathOf(dir.path), fs::perms::all);
    WriteFile(dir / c.inputName, c.input);
    if (c.setup) {
        c.setup(dir);
    }
    const auto before = Snapshot(dir.path);
    std::vector<std::string> args = c.flags;
    args.push_back(c.inputName);
    const RunResult r = RunTool(args, dir.path, c.options);
    ExpectPeakMemoryBelow(r, kSmallRunMemoryKiB);
    if (c.err == nullptr) {
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(ListDir(dir.path).size(), before.size() + 1);
        return;
    }
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(Snapshot(dir.path), before);
}

TEST(Hostile, HeaderFieldsAtTheirExtremes) {
    const std::uint32_t kMostNegative = 0x80000000u;
    const Case cases[] = {
        {"empty file", {}, "in.bmp is not a valid bitmap file.\n"},
        {"only BM", {'B', 'M'}, "in.bmp is truncated.\n"},
        {"width 0", With(Field32(18, 0)), nullptr},
        {"height 0", With(Field32(22, 0)), nullptr},
        {"width -8", With(Field32(18, static_cast<std::uint32_t>(-8))), nullptr},
        {"height -8", With(Field32(22, static_cast<std::uint32_t>(-8))), nullptr},
        {"width most negative", With(Field32(18, kMostNegative)),
         "in.bmp is too large to convert.\n"},
        {"height most negative", With(Field32(22, kMostNegative)),
         "in.bmp is too large to convert.\n"},
        {"width 2^30", With(Field32(18, 1u << 30)), "in.bmp is truncated.\n"},
        {"height 2^30", With(Field32(22, 1u << 30)), "in.bmp is truncated.\n"},
        {"65536 x 65536 in 100 bytes",
         [] {
             Bytes f = With([](Bytes& b) {
                 Poke32(b, 18, 65536);
                 Poke32(b, 22, 65536);
             });
             f.resize(100);
             return f;
         }(),
         "in.bmp is truncated.\n"},
        {"biSize 0", With(Field32(14, 0)), "in.bmp is not a valid bitmap file.\n"},
        {"biSize 12", With(Field32(14, 12)), "in.bmp is not a valid bitmap file.\n"},
        {"biSize 39", With(Field32(14, 39)), "in.bmp is not a valid bitmap file.\n"},
        {"biSize 2^31", With(Field32(14, kMostNegative)), "in.bmp is not a valid bitmap file.\n"},
        {"bfOffBits 0", With(Field32(10, 0)), "in.bmp is not a valid bitmap file.\n"},
        {"bfOffBits inside the headers", With(Field32(10, 30)),
         "in.bmp is not a valid bitmap file.\n"},
        {"N below 0", With(Field32(10, 50)), "in.bmp is not a valid bitmap file.\n"},
        {"bfOffBits past the end", With(Field32(10, 1u << 31)), "in.bmp is truncated.\n"},
        {"N above 256", With([](Bytes& f) {
             f.insert(f.begin() + 62, 300 * 4, 0x11);
             Poke32(f, 10, 54 + 302 * 4);
         }),
         nullptr},
        {"flags beyond 32 bits",
         Good(),
         nullptr,
         {"-c99999999999", "-r-99999999999", "-g4294967296"}},
    };
    for (const Case& c : cases) {
        Check(c);
    }
}

// A PNG's header can claim any size in a few bytes, and deflate gives back at most 1,032 bytes a
// byte: a header claiming more rows than its compressed data can hold is refused before a row
// is allocated, whatever it claims, in little time and memory.
TEST(Hostile, PngClaimingMoreThanItHolds) {
#ifdef BMP2TVX_READS_PNG
    const char* truncated = "in.png is truncated.\n";
    const Case cases[] = {
        {"RGBA, 2^31 - 8 by 8", ClaimingPng(0x7FFFFFF8, 8, 6, 8, false, Bytes(1000)), truncated},
        {"interlaced RGBA, 1711276064 by 32", ClaimingPng(1711276064, 32, 6, 16, true, Bytes(100)),
         truncated},
        {"RGBA, 100000 x 100000, three rows of data",
         ClaimingPng(100000, 100000, 6, 8, false, Bytes(3 * 400001)), truncated},
        {"indexed, 65528 x 65528, one row of data",
         ClaimingPng(65528, 65528, 3, 8, false, Bytes(65529)), truncated},
        {"grey, 8 x 2^31 - 8", ClaimingPng(8, 0x7FFFFFF8, 0, 1, false, Bytes(2 * 1000)), truncated},
        {"indexed, 64 x 64, every row", ClaimingPng(64, 64, 3, 1, true, Bytes(632)), nullptr},
    };
    for (Case c : cases) {
        c.inputName = "in.png";
        Check(c);
    }
#else
    GTEST_SKIP() << "this build reads no PNG files (libpng was not found when configuring)";
#endif
}

TEST(Hostile, FilesystemTroubles) {
    RunOptions asOther;
    asOther.asOtherUser = true;
    RunOptions fullDisk;
    fullDisk.fileSizeLimit = 100;
    const Case cases[] = {
        {"input is a directory",
         {},
         "Could not open dir.bmp.\n",
         {},
         [](const TempDir& d) { fs::create_directory(PathOf(d / "dir.bmp")); },
         {},
         "dir.bmp"},
        {"unreadable input",
         Good(),
         "Could not open in.bmp.\n",
         {},
         [](const TempDir& d) { fs::permissions(PathOf(d / "in.bmp"), fs::perms::none); },
         asOther,
         "in.bmp",
         WhyNoPermissions()},
        {"output folder not writable",
         Good(),
         "Could not open out/in.tvx.\n",
         {},
         [](const TempDir& d) {
             fs::create_directory(PathOf(d / "out"));
             WriteFile(d / "out/in.bmp", Good());
             fs::permissions(PathOf(d / "out"), fs::perms::owner_read | fs::perms::owner_exec |
                                                    fs::perms::group_read | fs::perms::group_exec |
                                                    fs::perms::others_read |
                                                    fs::perms::others_exec);
         },
         asOther,
         "out/in.bmp",
         WhyNoPermissions()},
        {"output path is a directory",
         Good(),
         "Could not open in.tvx.\n",
         {},
         [](const TempDir& d) { fs::create_directory(PathOf(d / "in.tvx")); }},
        {"output on /dev/full",
         Good(),
         "Could not write in.tvx.\n",
         {},
         [](const TempDir& d) {
             std::error_code error;
             fs::create_symlink("/dev/full", PathOf(d / "in.tvx"), error);
             ASSERT_FALSE(error);
         },
         {},
         "in.bmp",
         WhyNoDevFull().empty() ? WhyNoSymlinks() : WhyNoDevFull()},
        {"disk full keeps the old output",
         Good(),
         "Could not write in.tvx.\n",
         {},
         [](const TempDir& d) {
             WriteFile(d / "in.tvx", {'o', 'l', 'd'});
         },
         fullDisk,
         "in.bmp",
         WhyNoFileSizeLimit()},
        {"input ends in tvx",
         Good(),
         "in.tvx already ends in tvx, so its output would replace it.\n",
         {},
         nullptr,
         {},
         "in.tvx"},
        {"input path of one byte",
         Good(),
         "Cannot name an output file after a: the path is shorter than 3 bytes.\n",
         {},
         nullptr,
         {},
         "a"},
        {"input path of two bytes",
         Good(),
         "Cannot name an output file after ab: the path is shorter than 3 bytes.\n",
         {},
         nullptr,
         {},
         "ab"},
    };
    for (const Case& c : cases) {
        if (c.inputName == "dir.bmp") {
            // The folder itself is the input; there is no file to write first.
            TempDir dir;
            c.setup(dir);
            const RunResult r = RunTool({"dir.bmp"}, dir.path);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.err, c.err);
            EXPECT_EQ(ListDir(dir.path), std::vector<std::string>{"dir.bmp"});
            continue;
        }
        Check(c);
    }
    // Whatever happened, the device is still a device.
    if (WhyNoDevFull().empty()) {
        EXPECT_EQ(fs::status("/dev/full").type(), fs::file_type::character);
    }
}

}  // namespace
}  // namespace bmp2tvx::test

namespace bmp2tvx::test {
namespace {

// The temporary file must fit wherever the output's own name fits.
TEST(Hostile, LongestFileName) {
    TempDir dir;
    const std::string name(251, 'n');
    WriteFile(dir / (name + ".bmp"), Good());
    const RunResult r = RunTool({name + ".bmp"}, dir.path);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir / (name + ".tvx")).size(), 8u + 512 + 2 * 64);
    EXPECT_EQ(ListDir(dir.path).size(), 2u);
}

}  // namespace
}  // namespace bmp2tvx::test
