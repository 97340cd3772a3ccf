// Every input the fuzzer ever found a problem with, run again through the same code path.
#include <cstdint>
#include <filesystem>

#include <gtest/gtest.h>

#include "test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace bmp2tvx::test {
namespace {

TEST(FuzzRegressions, EveryFindingRunsCleanly) {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(BMP2TVX_FUZZ_REGRESSIONS)) {
        SCOPED_TRACE(entry.path().string());
        const Bytes input = ReadFile(entry.path().string());
        testing::internal::CaptureStderr();
        EXPECT_EQ(LLVMFuzzerTestOneInput(input.data(), input.size()), 0);
        testing::internal::GetCapturedStderr();
        ++count;
    }
    EXPECT_GT(count, 0u);
}

}  // namespace
}  // namespace bmp2tvx::test
