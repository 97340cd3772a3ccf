// Every input the fuzzer ever found a problem with, run again through the same code path, with
// the outcome each must have: refused, or written in a named layout.
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "fuzz_convert.h"
#include "test_support.h"

namespace bmp2tvx::test {
namespace {

TEST(FuzzRegressions, EveryFindingHasItsOutcome) {
    using fuzz::Outcome;
    // A BMP in memory with no pixels and a huge height once walked all of its rows of nothing.
    const std::map<std::string, Outcome> expected = {
        {"zero-width-huge-height.bmp", {true, TargetFormat::Index256}},
        {"zero-width-huge-height-2.bmp", {true, TargetFormat::Index256}},
    };
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(BMP2TVX_FUZZ_REGRESSIONS)) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        ASSERT_EQ(expected.count(name), 1u) << "a finding without its outcome in this table";
        const Bytes input = ReadFile(entry.path().string());
        testing::internal::CaptureStderr();
        const Outcome outcome = fuzz::ConvertBothWays(input.data(), input.size());
        testing::internal::GetCapturedStderr();
        EXPECT_TRUE(outcome == expected.at(name));
        ++count;
    }
    EXPECT_EQ(count, expected.size());
}

}  // namespace
}  // namespace bmp2tvx::test
