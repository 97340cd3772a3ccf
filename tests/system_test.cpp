// The system layer's portable parts, and interrupts through the real executable.
#include <gtest/gtest.h>

#include "system.h"
#include "test_support.h"
#include "text.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#endif

namespace bmp2tvx::test {
namespace {

// Windows names are UTF-16 units that need not pair up; each must survive the trip through the
// UTF-8 the tools use inside.
TEST(Text, Utf16AndUtf8BothWays) {
    const struct {
        const char* name;
        std::u16string wide;
        std::string utf8;
    } cases[] = {
        {"ASCII", u"logo.bmp", "logo.bmp"},
        {"Greek", u"\u03A9mega.bmp", "\xCE\xA9mega.bmp"},
        {"Japanese", u"\u65E5\u672C.bmp", "\xE6\x97\xA5\xE6\x9C\xAC.bmp"},
        {"beyond the first 65536", u"\U0001F47E.bmp", "\xF0\x9F\x91\xBE.bmp"},
        {"lone high surrogate", std::u16string{0xD83D, u'a'},
         "\xED\xA0\xBD"
         "a"},
        {"lone low surrogate at the end", std::u16string{u'a', 0xDC7E}, "a\xED\xB1\xBE"},
        {"low before high", std::u16string{0xDC00, 0xD800}, "\xED\xB0\x80\xED\xA0\x80"},
        {"empty", u"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Utf16ToUtf8(c.wide), c.utf8);
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.wide);
    }
}

TEST(Text, BrokenUtf8BecomesReplacementCharacters) {
    const struct {
        std::string utf8;
        std::u16string wide;
    } cases[] = {
        {"\xFF"
         "a",
         u"\uFFFD"
         "a"},
        {"\xC3", u"\uFFFD"},  // cut short
        {"\xE6\x97"
         "a",
         u"\uFFFD\uFFFD"
         "a"},                                              // cut short inside
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong "/"
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
        {"\x80", u"\uFFFD"},                                // a lone continuation byte
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.wide) << testing::PrintToString(c.utf8);
    }
}

// The temporary file goes in the output's own folder, so that moving it into place never crosses
// file systems or drives.
TEST(Paths, FolderOfAPath) {
    const struct {
        const char* path;
        const char* folder;
    } cases[] = {
        {"logo.tvx", ""},
        {"art/logo.tvx", "art/"},
        {"/abs/art/logo.tvx", "/abs/art/"},
        {"/logo.tvx", "/"},
#ifdef _WIN32
        {"art\\logo.tvx", "art\\"},
        {"C:\\art\\logo.tvx", "C:\\art\\"},
        {"C:logo.tvx", "C:"},
        {"\\\\server\\share\\logo.tvx", "\\\\server\\share\\"},
        {"art\\sub/logo.tvx", "art\\sub/"},
#else
        {"art\\logo.tvx", ""},  // a backslash is part of a POSIX name
#endif
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
    }
}

#ifndef _WIN32
// An interrupt while the output is being written removes the temporary file and leaves the old
// output as it was. The signal is sent as soon as the temporary file appears; a run that finishes
// first must have written the whole new output, and is tried again.
TEST(Interrupts, LeaveNoTemporaryFileAndTheOldOutput) {
    BmpSpec spec;
    spec.width = 4096;
    spec.height = 2048;
    spec.table = {{0, 0, 0}, {255, 255, 255}};
    spec.pixels.resize(4096 * 2048, 1);
    const Bytes bmp = BuildBmp(spec);
    const Bytes old = {'o', 'l', 'd'};
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        int interrupted = 0;
        for (int attempt = 0; attempt < 20 && interrupted == 0; ++attempt) {
            TempDir dir;
            WriteFile(dir / "in.bmp", bmp);
            WriteFile(dir / "in.tvx", old);
            const pid_t child = ::fork();
            if (child == 0) {
                if (::chdir(dir.path.c_str()) != 0 || !std::freopen("/dev/null", "w", stdout)) {
                    ::_exit(127);
                }
                ::execl(BMP2TVX_PATH, BMP2TVX_PATH, "-c4", "in.bmp", nullptr);
                ::_exit(127);
            }
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            bool seen = false;
            bool finished = false;
            int status = 0;
            while (!seen && !finished && std::chrono::steady_clock::now() < deadline) {
                for (const std::string& name : ListDir(dir.path)) {
                    seen = seen || name.rfind(".bmp2tvx-", 0) == 0;
                }
                finished = !seen && ::waitpid(child, &status, WNOHANG) == child;
            }
            if (!finished) {
                ::kill(child, signal);
                ::waitpid(child, &status, 0);
            }
            // Whenever the signal landed, the output is the old file or the whole new one, and
            // nothing else is left beside it.
            EXPECT_EQ(ListDir(dir.path), (std::vector<std::string>{"in.bmp", "in.tvx"}));
            const Bytes output = ReadFile(dir / "in.tvx");
            if (output != old) {
                EXPECT_EQ(output.size(), 8u + 32 + 4096u * 2048 / 2);
            }
            if (WIFSIGNALED(status)) {
                EXPECT_EQ(WTERMSIG(status), signal);
                interrupted += output == old ? 1 : 0;  // else caught only after finishing
            } else {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            }
        }
        EXPECT_GT(interrupted, 0) << "no run was caught while writing";
    }
}
#else
TEST(Interrupts, LeaveNoTemporaryFileAndTheOldOutput) {
    GTEST_SKIP() << "a test cannot send a console control event to one process of its own";
}
#endif

}  // namespace
}  // namespace bmp2tvx::test
