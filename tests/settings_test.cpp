#include <optional>
#include <tuple>

#include <gtest/gtest.h>

#include "convert.h"
#include "picture_reader.h"
#include "run.h"
#include "settings.h"
#include "test_support.h"
#include "tile_encoder.h"

namespace bmp2tvx {
namespace {

TEST(FlagValue, ReadsLikeASignedDecimal) {
    const struct {
        const char* text;
        std::int32_t expected;
    } cases[] = {
        {"4", 4},
        {"16", 16},
        {"+7", 7},
        {"-1", -1},
        {" \t\n\v\f\r12", 12},
        {"4.bmp", 4},
        {"at.bmp", 0},
        {"", 0},
        {"-", 0},
        {"- 5", 0},
        {"0012x", 12},
        {"2147483647", 2147483647},
        {"2147483648", INT32_MAX},
        {"99999999999999999999", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {"-99999999999999999999", INT32_MIN},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseFlagValue(c.text), c.expected) << '"' << c.text << '"';
    }
}

// Flags apply in order, --key= among the key flags; a bad depth is reported and resets the depth
// to automatic. An argument of "--" and a letter that is not an option, or whose value cannot be
// read, refuses the command line in one line on standard error, and nothing else is printed.
TEST(Flags, AppliedInOrder) {
    struct Expected {
        std::int32_t depth = -1, red = 0, green = 0, blue = 0;
        bool keep = false;
    };
    const struct {
        std::vector<const char*> args;
        Expected expected;
        const char* printed;
        const char* refused;
    } cases[] = {
        {{"bmp2tvx", "in.bmp"}, {}, "", ""},
        {{"bmp2tvx", "-c4", "in.bmp"}, {4}, "", ""},
        {{"bmp2tvx", "-c8", "-c16", "in.bmp"}, {16}, "", ""},
        {{"bmp2tvx", "-c8", "-c5", "in.bmp"},
         {},
         "ERROR: Invalid target color bit depth: 5.\n",
         ""},
        {{"bmp2tvx", "-c"}, {}, "ERROR: Invalid target color bit depth: 0.\n", ""},
        {{"bmp2tvx", "-r255", "-g0", "-b255", "x"}, {-1, 255, 0, 255}, "", ""},
        {{"bmp2tvx", "-r300", "-b-1", "-r"}, {-1, 0, 0, -1}, "", ""},
        {{"bmp2tvx", "-C4", "-R9", "-x5", "-", "--", "c4", "in.bmp"}, {}, "", ""},
        {{"bmp2tvx", "-c4.bmp"}, {4}, "", ""},
        {{"bmp2tvx", "-cat.bmp"}, {}, "ERROR: Invalid target color bit depth: 0.\n", ""},
        {{"bmp2tvx", "-c99999999999"},
         {},
         "ERROR: Invalid target color bit depth: 2147483647.\n",
         ""},
        {{"bmp2tvx", "--key=FF00ff", "x"}, {-1, 255, 0, 255}, "", ""},
        {{"bmp2tvx", "--key=#00807F", "x"}, {-1, 0, 128, 127}, "", ""},
        {{"bmp2tvx", "-r9", "--key=none", "x"}, {-1, 0, 0, 0, true}, "", ""},
        {{"bmp2tvx", "--key=none", "-g5", "x"}, {-1, 0, 5, 0}, "", ""},
        {{"bmp2tvx", "--key=none", "--key=102030", "-b1", "x"}, {-1, 16, 32, 1}, "", ""},
        {{"bmp2tvx", "--help", "--version", "x"}, {}, "", ""},
        {{"bmp2tvx", "-c5", "--pallete=bank.pal", "x"},
         {},
         "",
         "--pallete=bank.pal is not an option of bmp2tvx: bmp2tvx --help lists them.\n"},
        {{"bmp2tvx", "--c4", "x"},
         {},
         "",
         "--c4 is not an option of bmp2tvx: bmp2tvx --help lists them.\n"},
        {{"bmp2tvx", "--key", "x"},
         {},
         "",
         "--key is not of the form --key=RRGGBB or --key=none: bmp2tvx --help lists the "
         "options.\n"},
        {{"bmp2tvx", "--key=red", "x"},
         {},
         "",
         "--key=red is not of the form --key=RRGGBB or --key=none: bmp2tvx --help lists the "
         "options.\n"},
        {{"bmp2tvx", "--key=#1234567", "x"},
         {},
         "",
         "--key=#1234567 is not of the form --key=RRGGBB or --key=none: bmp2tvx --help lists the "
         "options.\n"},
        {{"bmp2tvx", "--palette", "x"},
         {},
         "",
         "--palette is not of the form --palette=FILE: bmp2tvx --help lists the options.\n"},
        {{"bmp2tvx", "--version=2", "x"},
         {},
         "",
         "--version=2 is not of the form --version: bmp2tvx --help lists the options.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1]);
        ConversionSettings settings;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const bool accepted =
            ParseCommandLine(static_cast<int>(c.args.size()), c.args.data(), settings);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.refused);
        EXPECT_EQ(accepted, *c.refused == '\0');
        if (accepted) {
            const Expected& e = c.expected;
            EXPECT_EQ(std::tie(settings.targetDepth, settings.keyRed, settings.keyGreen,
                               settings.keyBlue, settings.keepIndices),
                      std::tie(e.depth, e.red, e.green, e.blue, e.keep));
        }
    }
}

TEST(OutputPath, LastThreeBytesBecomeTvx) {
    const struct {
        const char* input;
        const char* expected;
    } cases[] = {{"art/logo.bmp", "art/logo.tvx"},
                 {"logo.BMP", "logo.tvx"},
                 {"pictures/logo", "pictures/ltvx"},
                 {"a/bc", "atvx"},
                 {"abc", "tvx"},
                 {"x.tvx", "x.tvx"}};
    for (const auto& c : cases) {
        EXPECT_EQ(MakeOutputPath(c.input).value_or("(none)"), c.expected);
    }
    EXPECT_FALSE(MakeOutputPath("ab").has_value());
    EXPECT_FALSE(MakeOutputPath("").has_value());
}

}  // namespace
}  // namespace bmp2tvx

namespace bmp2tvx {
namespace {

// Some launchers start a program with no arguments at all, not even its own name.
TEST(Run, EmptyArgumentListPrintsUsage) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(RunConversion(0, nullptr), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Usage: (flags) [infile]\n");
}

}  // namespace
}  // namespace bmp2tvx

namespace bmp2tvx::test {
namespace {

SourceImage LoadPicture(std::uint16_t bitCount, std::size_t colours) {
    BmpSpec spec;
    spec.width = 16;
    spec.height = 8;
    spec.bitCount = bitCount;
    for (std::size_t i = 0; i < 16 * 8; ++i) {
        const auto c = static_cast<std::uint8_t>(i % colours);
        if (bitCount == 8) {
            spec.pixels.push_back(c);
        } else {
            spec.pixels.insert(spec.pixels.end(), {c, 1, 2});
        }
    }
    return LoadBmp(spec, "p.bmp");
}

// The layout each pairing of source and -c gets, what the encoder is handed, and the refusals.
TEST(Convert, LayoutPlanAndRefusals) {
    const struct {
        const char* name;
        std::uint16_t bitCount;
        std::size_t colours;
        std::int32_t depth;
        std::optional<TargetFormat> written;
        SourceKind source;
        const char* err;
    } cases[] = {
        {"8-bit, automatic", 8, 20, -1, TargetFormat::Index256, SourceKind::Index, ""},
        {"8-bit as Index16", 8, 16, 4, TargetFormat::Index16, SourceKind::Index, ""},
        {"8-bit using entry 16 as Index16", 8, 17, 4, std::nullopt, SourceKind::Index,
         "p.bmp uses colours above 15 and cannot be written as Index16.\n"},
        {"8-bit as FullColor16", 8, 20, 16, TargetFormat::FullColor16, SourceKind::Index, ""},
        {"24-bit, automatic", 24, 200, -1, TargetFormat::FullColor16, SourceKind::FullColor, ""},
        {"24-bit as Index256", 24, 100, 8, TargetFormat::Index256, SourceKind::FullColor, ""},
        {"24-bit with 16 colours as Index16", 24, 16, 4, std::nullopt, SourceKind::FullColor,
         "p.bmp uses 16 colours besides the key colour; Index16 has room for 15.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConversionSettings settings;
        settings.targetDepth = c.depth;
        testing::internal::CaptureStderr();
        const std::optional<PreparedPicture> prepared =
            PreparePicture(LoadPicture(c.bitCount, c.colours), settings);
        std::optional<TargetFormat> written;
        if (prepared) {
            const ConversionPlan& plan = prepared->plan;
            EXPECT_EQ(plan.source, c.source);
            EXPECT_EQ(std::tie(plan.width, plan.height),
                      std::tie(prepared->picture.width, prepared->picture.height));
            // What the encoder gets carries what its layout reads.
            EXPECT_EQ(
                prepared->picture.kind == SourceKind::FullColor,
                plan.target == TargetFormat::FullColor16 && plan.source == SourceKind::FullColor);
            Bytes file;
            const Encoding encoding = EncodeTileImage(prepared->picture, plan.target, file);
            if (encoding.unsaid) {
                Report(*encoding.unsaid);
            }
            if (encoding.outcome == Outcome::Complete) {
                written = plan.target;
            }
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
        EXPECT_EQ(written, c.written);
    }
}

}  // namespace
}  // namespace bmp2tvx::test
