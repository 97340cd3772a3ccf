// Real files from other writers (BMP Suite): the same picture stored in different ways must give
// the same tile image.
#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace bmp2tvx::test {
namespace {

const std::string kSuite = std::string(BMP2TVX_TEST_DATA) + "/bmpsuite/";

TEST(BmpSuite, SamePictureSameTiles) {
    const std::vector<std::vector<std::string>> groups = {
        {"g/pal8.bmp", "g/pal8v4.bmp", "g/pal8v5.bmp", "g/pal8topdown.bmp", "q/pal8os2v2.bmp"},
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
