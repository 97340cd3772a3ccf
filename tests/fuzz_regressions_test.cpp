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
    // A BMP in memory with no pixels and a huge height once walked all of its rows of nothing;
    // frames of a huge width and no rows were laid out one by one; a map of no cells had no bank,
    // and one of no columns and a huge height laid out, and packed, each of its rows of no cells.
    const std::map<std::string, Outcome> expected = {
        {"frames-of-no-rows.bmp", {true, TargetFormat::Index16}},
        {"map-of-no-cells.bmp", {true, TargetFormat::Index16}},
        {"map-of-no-columns.bmp", {true, TargetFormat::Index16}},
        {"banks-of-no-columns.bmp", {true, TargetFormat::Index16}},
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
        EXPECT_EQ(outcome.loaded, expected.at(name).loaded);
        // The layout written, or -1 for none.
        const auto format = [](const Outcome& o) { return o.written ? int(*o.written) : -1; };
        EXPECT_EQ(format(outcome), format(expected.at(name)));
        ++count;
    }
    EXPECT_EQ(count, expected.size());
}

}  // namespace
}  // namespace bmp2tvx::test
