// One conversion of each layout under valgrind's memory checker, as a whole process.
#include <cstdlib>

#include <gtest/gtest.h>

#include "test_support.h"

namespace bmp2tvx::test {
namespace {

TEST(Valgrind, EachLayoutRunsWithoutErrorsOrLeaks) {
#ifdef BMP2TVX_SANITIZED
    GTEST_SKIP() << "valgrind cannot run a sanitizer build";
#endif
    if (std::system("valgrind --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "valgrind is not installed";
    }
    BmpSpec indexed;
    indexed.width = 32;
    indexed.height = 16;
    indexed.table = {{0, 0, 0}, {9, 9, 9}, {0, 0, 0}};
    for (int i = 0; i < 32 * 16; ++i) {
        indexed.pixels.push_back(static_cast<std::uint8_t>(i % 3));
    }
    BmpSpec direct = indexed;
    direct.bitCount = 24;
    direct.table.clear();
    direct.pixels.resize(32 * 16 * 3, 0x77);
    const struct {
        const char* flag;
        Bytes bmp;
    } cases[] = {
        {"-c4", BuildBmp(indexed)}, {"-c8", BuildBmp(indexed)}, {"-c16", BuildBmp(direct)}};
    RunOptions options;
    options.program = BMP2TVX_DYNAMIC_PATH;
    options.prefix = {"valgrind", "-q", "--error-exitcode=99", "--leak-check=full",
                      "--errors-for-leak-kinds=definite,indirect,possible"};
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir / "in.bmp", c.bmp);
        const RunResult r = RunTool({c.flag, "in.bmp"}, dir.path, options);
        EXPECT_EQ(r.status, 0) << c.flag << ": " << r.err;
        EXPECT_EQ(r.err, "") << c.flag;
        EXPECT_TRUE(FileExists(dir / "in.tvx")) << c.flag;
    }
}

}  // namespace
}  // namespace bmp2tvx::test
