// The manual pages in man/: free of formatter warnings, and naming every message the tools print.
// The messages are read from the sources themselves, so a new message without a page entry fails
// here. Also tvx.h's table of the file format, checked against the sources' own.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace bmp2tvx::test {
namespace {

const std::string kSourceDir = BMP2TVX_SOURCE_DIR;
const std::string kMandoc = BMP2TVX_MANDOC;
const std::string kGroff = BMP2TVX_GROFF;

// A printf format the tools print, as written in the source, without its final newline.
struct Message {
    std::string format;
    int line = 0;
};

// The string literal at text[at] (at its opening quote), unescaped; `at` moves past it.
std::string ReadLiteral(const std::string& text, std::size_t& at, int& line) {
    std::string value;
    for (++at; at < text.size() && text[at] != '"'; ++at) {
        if (text[at] == '\n') {
            ++line;
        }
        if (text[at] != '\\' || at + 1 >= text.size()) {
            value += text[at];
            continue;
        }
        const char escaped = text[++at];
        value += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
    }
    ++at;
    return value;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Every message format in one source file: the first argument of each PrintError or PrintOut
// call, and every other string literal that ends in a newline (the formats that reach PrintError
// through a small helper, such as Report(format, path), or that a function returns). Adjacent
// literals are joined as the compiler joins them; comments and character literals are skipped.
std::vector<Message> MessageFormats(const std::string& text) {
    std::vector<Message> found;
    int line = 1;
    std::size_t at = 0;
    std::string code;  // what came before, without comments and literals
    while (at < text.size()) {
        const char c = text[at];
        if (text.compare(at, 2, "//") == 0) {
            at = text.find('\n', at);
            at = at == std::string::npos ? text.size() : at;
        } else if (text.compare(at, 2, "/*") == 0) {
            const std::size_t end = text.find("*/", at + 2);
            const std::size_t stop = end == std::string::npos ? text.size() : end + 2;
            line += static_cast<int>(std::count(text.begin() + static_cast<std::ptrdiff_t>(at),
                                                text.begin() + static_cast<std::ptrdiff_t>(stop),
                                                '\n'));
            at = stop;
        } else if (c == '\'') {
            const std::size_t end = text.find('\'', at + (text.compare(at, 2, "'\\") == 0 ? 3 : 2));
            at = end == std::string::npos ? text.size() : end + 1;
            code += "' '";
        } else if (c == '"') {
            const int startLine = line;
            std::string value = ReadLiteral(text, at, line);
            for (;;) {  // "joined " "literals"
                std::size_t next = at;
                int nextLine = line;
                while (next < text.size() && std::isspace(static_cast<unsigned char>(text[next]))) {
                    nextLine += text[next] == '\n';
                    ++next;
                }
                if (next >= text.size() || text[next] != '"') {
                    break;
                }
                at = next;
                line = nextLine;
                value += ReadLiteral(text, at, line);
            }
            std::string before = code.substr(code.size() - std::min<std::size_t>(code.size(), 64));
            while (!before.empty() && std::isspace(static_cast<unsigned char>(before.back()))) {
                before.pop_back();
            }
            const bool printed = EndsWith(before, "PrintError(") || EndsWith(before, "PrintOut(");
            const bool endsLine = value.size() > 1 && value.back() == '\n';
            if (printed || endsLine) {
                if (!value.empty() && value.back() == '\n') {
                    value.pop_back();
                }
                found.push_back({value, startLine});
            }
            code += "\"\"";
        } else {
            line += c == '\n';
            code += c;
            ++at;
        }
    }
    return found;
}

struct Snippet {
    const char* name;
    const char* source;
    std::vector<std::string> formats;
};

TEST(ManPages, FindsTheMessagesInSource) {
    const Snippet snippets[] = {
        {"direct call", "PrintError(\"%s is bad.\\n\", p);", {"%s is bad."}},
        {"output without newline", "PrintOut(  \"%d left\", n);", {"%d left"}},
        {"through a helper", "Report(\"%s is odd.\\n\", p);", {"%s is odd."}},
        {"returned", "return \"%s is short.\\n\";", {"%s is short."}},
        {"helper without placeholder", "Refuse(\"Nothing to read.\\n\");", {"Nothing to read."}},
        {"joined literals",
         "Report(\"%s is split \"\n  \"in two.\\n\", p);",
         {"%s is split in two."}},
        {"escaped quotes", "PrintOut(\"%s says \\\"hi\\\".\\n\", p);", {"%s says \"hi\"."}},
        {"line comment", "// PrintError(\"%s old.\\n\", p);\nint x;", {}},
        {"block comment", "/* Report(\"%s gone.\\n\", p); */", {}},
        {"quote character first", "char q = '\"'; Report(\"%s after.\\n\", p);", {"%s after."}},
        {"other literal", "const char* s = \"plain text\";", {}},
        {"a lone newline", "std::fputs(\"\\n\", stdout);", {}},
    };
    for (const Snippet& s : snippets) {
        std::vector<std::string> got;
        for (const Message& m : MessageFormats(s.source)) {
            got.push_back(m.format);
        }
        EXPECT_EQ(got, s.formats) << s.name;
    }
    const std::vector<Message> lines =
        MessageFormats("\n\nReport(\"a\"\n \"b\\n\");\n// \"c\\n\"\nX(\"d\\n\");");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].line, 3);
    EXPECT_EQ(lines[1].line, 6);
}

// Which page documents the messages of which sources: the first prefix that matches. The
// shared system layer prints for both tools.
struct Owner {
    const char* prefix;
    std::vector<std::string> pages;
};
const Owner kOwners[] = {
    {"driver/", {"bmp2tvx.1"}},    {"image/", {"bmp2tvx.1"}},
    {"palette/", {"bmp2tvx.1"}},   {"tileimage/tile_reader", {"tvx2png.1"}},
    {"tileimage/", {"bmp2tvx.1"}}, {"png/", {"tvx2png.1"}},
    {"tvx2png/", {"tvx2png.1"}},   {"system/", {"bmp2tvx.1", "tvx2png.1"}},
};
const char* const kPages[] = {"bmp2tvx.1", "tvx2png.1"};

struct Found {
    std::string file;  // relative to the source tree
    Message message;
    std::vector<std::string> pages;
};

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<Found> AllMessages() {
    std::vector<Found> all;
    for (const char* folder :
         {"driver", "image", "palette", "tileimage", "png", "tvx2png", "system"}) {
        std::vector<std::filesystem::path> files;
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(kSourceDir + "/" + folder)) {
            const std::string ext = entry.path().extension().string();
            if (entry.is_regular_file() && (ext == ".cpp" || ext == ".h")) {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
        for (const std::filesystem::path& path : files) {
            const std::string relative =
                std::filesystem::relative(path, kSourceDir).generic_string();
            const Owner* owner = nullptr;
            for (const Owner& o : kOwners) {
                if (relative.rfind(o.prefix, 0) == 0) {
                    owner = &o;
                    break;
                }
            }
            if (owner == nullptr) {
                ADD_FAILURE() << relative << " belongs to no manual page";
                continue;
            }
            for (const Message& m : MessageFormats(ReadText(path))) {
                all.push_back({relative, m, owner->pages});
            }
        }
    }
    return all;
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
    std::string why;
    const std::string text = RenderedPage(page, why);
    ASSERT_NE(text.find("DIAGNOSTICS"), std::string::npos) << why;
    int checked = 0;
    for (const Found& found : AllMessages()) {
        if (std::find(found.pages.begin(), found.pages.end(), page) == found.pages.end()) {
            continue;
        }
        ++checked;
        std::string pattern;
        if (!FormatPattern(found.message.format, pattern)) {
            ADD_FAILURE() << found.file << ":" << found.message.line
                          << ": no rule for a conversion in \"" << found.message.format << "\"";
            continue;
        }
        EXPECT_TRUE(std::regex_search(text, std::regex(pattern)))
            << page << " does not show the message printed at " << found.file << ":"
            << found.message.line << ":\n  " << found.message.format
            << "\n(add it to DIAGNOSTICS, with a word such as path or n for each conversion)";
    }
    EXPECT_GE(checked, 8) << "too few messages found in the sources for " << page;
}

INSTANTIATE_TEST_SUITE_P(Pages, ManPage, testing::ValuesIn(kPages),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param) == "bmp2tvx.1" ? "bmp2tvx" : "tvx2png";
                         });

// The sources' messages come from every route a format takes to PrintError and PrintOut, so a
// scan that found none of them cannot pass the pages by accident.
TEST(ManPages, SourcesYieldTheKnownMessages) {
    std::vector<std::string> formats;
    for (const Found& found : AllMessages()) {
        formats.push_back(found.file + ": " + found.message.format);
    }
    for (const char* known : {
             "driver/run.cpp: Usage: (flags) [infile]",  // PrintOut
             "image/bmp_reader.cpp: %s is truncated.",   // through Report()
             "driver/run.cpp: %s already ends in tvx, so its output would replace it.",  // Refuse()
             "tileimage/tile_reader.cpp: %s is too short to be a tile image file.",      // returned
             "palette/color_table.cpp: %s uses %zu colours besides the key colour; %s has room "
             "for %zu.",
             "tvx2png/main.cpp: Usage: tvx2png IN.tvx [OUT.png]",
             "system/common.cpp: Could not write %s.",
         }) {
        EXPECT_NE(std::find(formats.begin(), formats.end(), known), formats.end()) << known;
    }
}

// tvx.h, which GBA programmers read, repeats every row of the file format's table in
// tileimage/tile_image.h, the reference the tools are built from, word for word.
TEST(FileFormat, TvxHeaderRepeatsTheReferenceTable) {
    const std::string header = ReadText(kSourceDir + "/include/tvx.h");
    std::istringstream reference(ReadText(kSourceDir + "/tileimage/tile_image.h"));
    int rows = 0;
    for (std::string line; std::getline(reference, line) && line.rfind("//", 0) == 0;) {
        if (line.rfind("//   ", 0) == 0) {
            ++rows;
            EXPECT_NE(header.find(line.substr(5)), std::string::npos) << line;
        }
    }
    EXPECT_EQ(rows, 7);
}

}  // namespace
}  // namespace bmp2tvx::test
