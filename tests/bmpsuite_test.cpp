// Real files from other writers (BMP Suite, PngSuite). Each one either converts to the exact
// bytes kept in expected/, or is refused with the exact line kept in expected.txt, exit status 1
// and nothing written. None may make the tool hold much memory, whatever its header announces.
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "test_support.h"

namespace bmp2tvx::test {
namespace {

const std::string kSuite = std::string(BMP2TVX_TEST_DATA) + "/bmpsuite/";

TEST(PictureSuites, EveryFileConvertsOrIsRefusedCleanly) {
    const struct {
        std::string folder;
        std::string input;  // the name each file is converted under
        int files;
    } suites[] = {{"bmpsuite", "in.bmp", 89}, {"pngsuite", "in.png", 175}};
    for (const auto& suite : suites) {
        const std::string data = std::string(BMP2TVX_TEST_DATA) + "/" + suite.folder + "/";
        std::ifstream expectations(data + "expected.txt");
        std::string line;
        int files = 0;
        while (std::getline(expectations, line)) {
            std::istringstream fields(line);
            std::string name;
            int status = 0;
            fields >> name >> status;
            std::string message;
            std::getline(fields >> std::ws, message);
            SCOPED_TRACE(name);
            ++files;
#ifndef BMP2TVX_READS_PNG
            // A build without libpng refuses everything with the PNG signature in one line.
            if (suite.input == "in.png" && message != "is not a valid bitmap file.") {
                status = 1;
                message = "is a PNG file, and this build of bmp2tvx reads no PNG files.";
            }
#endif

            TempDir dir;
            WriteFile(dir / suite.input, ReadFile(data + name));
            const RunResult r = RunTool({suite.input}, dir.path);
            EXPECT_EQ(r.status, status);
            ExpectPeakMemoryBelow(r, kSmallRunMemoryKiB);
            if (status == 0) {
                std::string golden = name;
                std::replace(golden.begin(), golden.end(), '/', '-');
                golden.replace(golden.size() - 3, 3, "tvx");
                EXPECT_EQ(r.err, "");
                EXPECT_EQ(ReadFile(dir / "in.tvx"), ReadFile(data + "expected/" + golden));
            } else {
                EXPECT_EQ(r.err, suite.input + " " + message + "\n");
                EXPECT_EQ(r.out, "");
                EXPECT_EQ(ListDir(dir.path), std::vector<std::string>{suite.input});
            }
        }
        EXPECT_EQ(files, suite.files);
    }
}

// One picture stored in many ways gives one tile image.
TEST(BmpSuite, SamePictureSameTiles) {
    const std::vector<std::vector<std::string>> groups = {
        // pal8-0, pal8offs and pal8oversizepal pad their colour table with unused black entries:
        // the black that
        // pixels use stays at entry 0.
        {"g/pal8.bmp", "g/pal8v4.bmp", "g/pal8v5.bmp", "g/pal8topdown.bmp", "q/pal8os2v2.bmp",
         "g/pal8-0.bmp", "q/pal8offs.bmp", "q/pal8oversizepal.bmp"},
        {"g/rgb24.bmp", "g/rgb24pal.bmp", "q/rgb24largepal.bmp", "q/rgb24lprof.bmp"},
    };
    for (const auto& group : groups) {
        const Bytes reference = ConvertInMemory(ReadFile(kSuite + group[0]));
        ASSERT_FALSE(reference.empty()) << group[0];
        for (const std::string& name : group) {
            EXPECT_EQ(ConvertInMemory(ReadFile(kSuite + name)), reference) << name;
        }
    }
}

}  // namespace
}  // namespace bmp2tvx::test
