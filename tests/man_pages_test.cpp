// The manual pages in man/: free of formatter warnings, and naming every message of the tools'
// messages table, so that a new message without a page entry fails here. Also tvx.h's tables of
// the file formats, checked against the sources' own.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "messages.h"
#include "test_support.h"

namespace bmp2tvx::test {
namespace {

const std::string kSourceDir = BMP2TVX_SOURCE_DIR;
const std::string kMandoc = BMP2TVX_MANDOC;
const std::string kGroff = BMP2TVX_GROFF;

const char* const kPages[] = {"bmp2tvx.1", "tvx2png.1"};

std::string ReadText(const std::string& path) {
    std::ifstream in(PathOf(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A format as a pattern over the rendered page: each conversion matches whatever word the page
// puts in its place (path, n, or an example value), and runs of white space match one space.
bool FormatPattern(const std::string& format, std::string& pattern) {
    pattern.clear();
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '%') {
            if (i + 1 < format.size() && format[i + 1] == '%') {
                pattern += '%';
                ++i;
                continue;
            }
            std::size_t j = i + 1;
            while (j < format.size() &&
                   std::string("-+ #0123456789.hlzjt").find(format[j]) != std::string::npos) {
                ++j;
            }
            if (j >= format.size() || std::string("diuxXs").find(format[j]) == std::string::npos) {
                return false;  // a conversion without a rule here: decide how pages show it
            }
            pattern += "\\S+";
            i = j;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            pattern += ' ';
            while (i + 1 < format.size() &&
                   std::isspace(static_cast<unsigned char>(format[i + 1]))) {
                ++i;
            }
        } else {
            if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) {
                pattern += '\\';
            }
            pattern += c;
        }
    }
    return true;
}

std::string PagePath(const std::string& page) {
    return kSourceDir + "/man/" + page;
}

// The page as a reader sees it, in one long line per paragraph without bold or underlining,
// every run of white space made one space.
std::string RenderedPage(const std::string& page, std::string& why) {
    RunOptions options;
    std::vector<std::string> args;
    if (!kMandoc.empty()) {
        options.program = kMandoc;
        args = {"-T", "ascii", "-O", "width=1000", PagePath(page)};
    } else {
        options.program = kGroff;
        args = {"-mdoc", "-T", "ascii", "-P-c", "-rLL=1000n", PagePath(page)};
    }
    TempDir dir;
    const RunResult run = RunTool(args, dir.path, options);
    if (run.status != 0) {
        why = options.program + " failed: " + run.err;
        return "";
    }
    std::string text;
    for (std::size_t i = 0; i < run.out.size(); ++i) {
        if (i + 1 < run.out.size() && run.out[i + 1] == '\b') {
            ++i;  // overstrike: the character after the backspace is the one shown
            continue;
        }
        const char c = run.out[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!text.empty() && text.back() != ' ') {
                text += ' ';
            }
        } else {
            text += c;
        }
    }
    return text;
}

std::string WhyNoFormatter() {
    return kMandoc.empty() && kGroff.empty()
               ? "neither mandoc nor groff was found when configuring (Debian: apt install mandoc)"
               : "";
}

class ManPage : public testing::TestWithParam<const char*> {};

TEST_P(ManPage, HasNoFormatterWarnings) {
    if (const std::string why = WhyNoFormatter(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    RunOptions options;
    std::vector<std::string> args;
    if (!kMandoc.empty()) {
        options.program = kMandoc;
        args = {"-T", "lint", "-W", "warning", PagePath(GetParam())};
    } else {
        options.program = kGroff;
        args = {"-ww", "-z", "-mdoc", PagePath(GetParam())};
    }
    TempDir dir;
    const RunResult run = RunTool(args, dir.path, options);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out + run.err, "");
}

TEST_P(ManPage, NamesEveryMessageItsToolPrints) {
    if (const std::string why = WhyNoFormatter(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    const std::string page = GetParam();
    const unsigned tool = page == "bmp2tvx.1" ? kConverter : kPreview;
    std::string why;
    const std::string text = RenderedPage(page, why);
    ASSERT_NE(text.find("DIAGNOSTICS"), std::string::npos) << why;
    for (const MessageEntry& message : Messages()) {
        if ((message.tools & tool) == 0) {
            continue;
        }
        std::string pattern;
        ASSERT_TRUE(FormatPattern(message.format, pattern)) << message.format;
        EXPECT_TRUE(std::regex_search(text, std::regex(pattern)))
            << page << " does not show the message:\n  " << message.format
            << "\n(add it to DIAGNOSTICS, with a word such as path or n for each conversion)";
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, ManPage, testing::ValuesIn(kPages),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param) == "bmp2tvx.1" ? "bmp2tvx" : "tvx2png";
                         });

// tvx.h, which GBA programmers read, repeats every row of the tables of the tile image file and
// the map file in tileimage/, the references the tools are built from, word for word.
TEST(FileFormat, TvxHeaderRepeatsTheReferenceTables) {
    const std::string header = ReadText(kSourceDir + "/include/tvx.h");
    for (const auto& [file, expectedRows] : {std::pair{"tile_image.h", 7}, {"map_file.h", 8}}) {
        std::istringstream reference(ReadText(kSourceDir + "/tileimage/" + file));
        int rows = 0;
        for (std::string line; std::getline(reference, line) && line.rfind("//", 0) == 0;) {
            if (line.rfind("//   ", 0) == 0) {
                ++rows;
                EXPECT_NE(header.find(line.substr(5)), std::string::npos) << file << ": " << line;
            }
        }
        EXPECT_EQ(rows, expectedRows) << file;
    }
}

}  // namespace
}  // namespace bmp2tvx::test
