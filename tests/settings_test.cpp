#include <gtest/gtest.h>

#include "driver/run.h"
#include "driver/settings.h"

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

// Flags apply in order; a bad depth is reported and resets the depth to automatic.
TEST(Flags, AppliedInOrder) {
    const struct {
        std::vector<const char*> args;
        ConversionSettings expected;
        const char* printed;
    } cases[] = {
        {{"bmp2tvx", "in.bmp"}, {-1, 0, 0, 0}, ""},
        {{"bmp2tvx", "-c4", "in.bmp"}, {4, 0, 0, 0}, ""},
        {{"bmp2tvx", "-c8", "-c16", "in.bmp"}, {16, 0, 0, 0}, ""},
        {{"bmp2tvx", "-c8", "-c5", "in.bmp"},
         {-1, 0, 0, 0},
         "ERROR: Invalid target color bit depth: 5.\n"},
        {{"bmp2tvx", "-c"}, {-1, 0, 0, 0}, "ERROR: Invalid target color bit depth: 0.\n"},
        {{"bmp2tvx", "-r255", "-g0", "-b255", "x"}, {-1, 255, 0, 255}, ""},
        {{"bmp2tvx", "-r300", "-b-1", "-r"}, {-1, 0, 0, -1}, ""},
        {{"bmp2tvx", "-C4", "-R9", "-x", "-", "c4", "in.bmp"}, {-1, 0, 0, 0}, ""},
        {{"bmp2tvx", "-c4.bmp"}, {4, 0, 0, 0}, ""},
        {{"bmp2tvx", "-cat.bmp"}, {-1, 0, 0, 0}, "ERROR: Invalid target color bit depth: 0.\n"},
        {{"bmp2tvx", "-c99999999999"},
         {-1, 0, 0, 0},
         "ERROR: Invalid target color bit depth: 2147483647.\n"},
    };
    for (const auto& c : cases) {
        ConversionSettings settings;
        testing::internal::CaptureStdout();
        for (const char* arg : c.args) {
            ParseFlag(settings, arg);
        }
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed) << c.args[1];
        EXPECT_EQ(settings.targetDepth, c.expected.targetDepth) << c.args[1];
        EXPECT_EQ(settings.keyRed, c.expected.keyRed) << c.args[1];
        EXPECT_EQ(settings.keyGreen, c.expected.keyGreen) << c.args[1];
        EXPECT_EQ(settings.keyBlue, c.expected.keyBlue) << c.args[1];
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
