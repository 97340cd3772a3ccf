// bmp2tvx_embed() (cmake/bmp2tvx.cmake) used inside this tree on the host: examples/logo.bmp is
// converted at build time by the bmp2tvx target and linked in through the host's assembler.
#include <algorithm>
#include <cstdint>

#include <gtest/gtest.h>

#include "logo_tvx.h"
#include "test_support.h"
#include "tvx.h"

namespace bmp2tvx::test {
namespace {

TEST(Embed, LinksTheConvertedFileFourByteAligned) {
    const Bytes expected = ConvertInMemory(ReadFile(BMP2TVX_LOGO_BMP), {"-c4"});
    ASSERT_EQ(expected.size(), 8u + 32u + 32u * 32u);
    ASSERT_EQ(logo_tvx_size, expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), logo_tvx));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(logo_tvx) % 4, 0u);
    EXPECT_EQ(tvx_valid(logo_tvx, logo_tvx_size), 1);
    EXPECT_EQ(tvx_format(logo_tvx), std::uint32_t{TVX_INDEX16});
}

}  // namespace
}  // namespace bmp2tvx::test
