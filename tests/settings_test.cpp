#include <tuple>

#include <gtest/gtest.h>

#include "run.h"
#include "settings.h"

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
        {{"bmp2tvx", "--frame=32x32", "--frame=8X16", "x"}, {}, "", ""},
        {{"bmp2tvx", "--frame=32", "x"},
         {},
         "",
         "--frame=32 is not of the form --frame=WxH: bmp2tvx --help lists the options.\n"},
        {{"bmp2tvx", "--frame=32x-8", "x"},
         {},
         "",
         "--frame=32x-8 is not of the form --frame=WxH: bmp2tvx --help lists the options.\n"},
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
