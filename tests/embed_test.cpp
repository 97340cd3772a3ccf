// bmp2tvx_embed() (cmake/bmp2tvx.cmake) used inside this tree on the host: examples/logo.bmp, and
// a PNG sprite of the example game with its bank's palette file, are converted at build time by
// the bmp2tvx target and linked in through the host's assembler.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "logo_tvx.h"
#ifdef BMP2TVX_EMBEDS_PNG
#include "knight_tvx.h"
#include "slime_kept_tvx.h"
#endif
#include "test_support.h"
#include "tvx.h"

namespace bmp2tvx::test {
namespace {

struct Embedded {
    const unsigned char* file;
    unsigned size;
    std::string picture;             // converted with `flags`
    std::vector<std::string> flags;  // as bmp2tvx_embed() gave them
    std::size_t bytes;
    std::uint32_t format;
};

TEST(Embed, LinksTheConvertedFilesFourByteAligned) {
    const std::string examples = BMP2TVX_EXAMPLES;
    const Embedded cases[] = {
        {logo_tvx, logo_tvx_size, examples + "/logo.bmp", {"-c4"}, 8 + 32 + 32 * 32, TVX_INDEX16},
#ifdef BMP2TVX_EMBEDS_PNG
        {knight_tvx,
         knight_tvx_size,
         examples + "/sprites/knight.png",
         {"--palette=" + examples + "/sprites/bank1.gpl"},
         8 + 32 + 16 * 32,
         TVX_INDEX16},
        {slime_kept_tvx,
         slime_kept_tvx_size,
         examples + "/sprites/slime_kept.png",
         {"-c8", "--key=none", "-c4"},
         8 + 32 + 16 * 32,
         TVX_INDEX16},
#endif
    };
    for (const Embedded& embedded : cases) {
        SCOPED_TRACE(embedded.picture);
        const Bytes expected = ConvertInMemory(ReadFile(embedded.picture), embedded.flags);
        ASSERT_EQ(expected.size(), embedded.bytes);
        ASSERT_EQ(embedded.size, expected.size());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), embedded.file));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(embedded.file) % 4, 0u);
        EXPECT_EQ(tvx_valid(embedded.file, embedded.size), 1);
        EXPECT_EQ(tvx_format(embedded.file), embedded.format);
    }
}

}  // namespace
}  // namespace bmp2tvx::test
