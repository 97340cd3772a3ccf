// Starting programs on Windows: arguments arrive exactly as given, output is captured byte for
// byte, and the exit status, folder and memory figure are the child's own.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "process.h"

namespace bmp2tvx::test {
namespace {

const std::string kChild = PROCESS_CHILD_PATH;

// What the child writes for `arguments`: each one followed by a zero byte.
std::string Echoed(const std::vector<std::string>& arguments) {
    std::string joined;
    for (const std::string& a : arguments) {
        joined += a;
        joined += '\0';
    }
    return joined;
}

std::vector<std::string> Command(const std::string& exit, const std::string& mebibytes,
                                 const std::vector<std::string>& arguments) {
    std::vector<std::string> command = {kChild, exit, mebibytes};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
}

TEST(RunProcess, ArgumentsArriveUnchanged) {
    // The cases that need quoting or escaping, and names beyond the ANSI code page (one outside
    // the Basic Multilingual Plane, which takes two UTF-16 units).
    const std::vector<std::string> cases = {
        "plain",
        "",
        "two words",
        "tab\there",
        "line\nbreak",
        "quote\"inside",
        "\"quoted\"",
        "back\\slash",
        "trailing\\",
        "C:\\folder with space\\",
        "\\\\\"",
        "a\\\\\"b c",
        "--flag=\"x y\"",
        "\xE6\x97\xA5\xE6\x9C\xAC.bmp",  // 日本.bmp
        "\xCE\xA9mega.bmp",              // Ωmega.bmp
        "\xF0\x9F\x98\x80 face",         // an emoji and a space
    };
    for (const std::string& c : cases) {
        const ProcessResult r = RunProcess(Command("0", "0", {c}), "");
        EXPECT_EQ(r.status, 0) << c;
        EXPECT_EQ(r.out, Echoed({c})) << c;
    }
    const ProcessResult all = RunProcess(Command("0", "0", cases), "");
    EXPECT_EQ(all.out, Echoed(cases));
    const ProcessResult none = RunProcess(Command("0", "0", {}), "");
    EXPECT_EQ(none.out, "");
}

TEST(RunProcess, ExitStatus) {
    for (const int status : {0, 1, 2, 127, 255, 1000}) {
        const ProcessResult r = RunProcess(Command(std::to_string(status), "0", {}), "");
        EXPECT_EQ(r.status, status);
    }
    // A crash is no exit status at all.
    EXPECT_EQ(RunProcess(Command("crash", "0", {}), "").status, -1);
}

TEST(RunProcess, MissingProgram) {
    const ProcessResult r = RunProcess({kChild + ".missing.exe", "0", "0"}, "");
    EXPECT_EQ(r.status, 127);
    EXPECT_NE(r.err.find("Could not start"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

std::string Narrow(const std::wstring& wide) {
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length) - 1, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

// A program whose path has a space and non-Latin letters starts in the folder given and reads
// nothing on its input; its standard error is kept apart from its standard output.
TEST(RunProcess, FolderAndStandardStreams) {
    wchar_t temp[MAX_PATH + 1];
    ASSERT_NE(::GetTempPathW(MAX_PATH + 1, temp), 0u);
    const std::wstring folder =
        std::wstring(temp) + L"run \u65E5\u672C " + std::to_wstring(::GetCurrentProcessId());
    const std::wstring copy = folder + L"\\child copy.exe";
    std::wstring original(kChild.size(), L'\0');
    original.resize(static_cast<std::size_t>(
        ::MultiByteToWideChar(CP_UTF8, 0, kChild.data(), static_cast<int>(kChild.size()),
                              original.data(), static_cast<int>(original.size()))));
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(::CopyFileW(original.c_str(), copy.c_str(), TRUE));

    const ProcessResult r = RunProcess({Narrow(copy), "3", "0", "x"}, Narrow(folder));
    ::DeleteFileW(copy.c_str());
    ::RemoveDirectoryW(folder.c_str());
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(r.out, std::string("x\0", 2));
    EXPECT_EQ(r.err, Narrow(folder) + "\n0\n");
}

TEST(RunProcess, PeakMemory) {
    const ProcessResult small = RunProcess(Command("0", "0", {}), "");
    const ProcessResult large = RunProcess(Command("0", "64", {}), "");
    ASSERT_EQ(small.status, 0);
    ASSERT_EQ(large.status, 0);
    if (small.peakMemoryKiB < 0 || large.peakMemoryKiB < 0) {
        GTEST_SKIP() << "This system gives no peak memory for a process that has ended.";
    }
    EXPECT_LT(small.peakMemoryKiB, 32 * 1024);
    EXPECT_GE(large.peakMemoryKiB, 64 * 1024);
    EXPECT_LT(large.peakMemoryKiB, small.peakMemoryKiB + 96 * 1024);
}

}  // namespace
}  // namespace bmp2tvx::test
