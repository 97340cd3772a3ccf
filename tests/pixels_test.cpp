// A picture read from its file as it is encoded gives exactly the bytes the same picture gives
// from memory, whatever its orientation, width, layout and key colour.
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "convert.h"
#include "picture_reader.h"
#include "pixels.h"
#include "test_support.h"
#include "tile_encoder.h"

namespace bmp2tvx::test {
namespace {

struct Encoded {
    std::optional<TargetFormat> written;
    Bytes file;
    std::string err;
};

Encoded Convert(SourceImage picture, std::int32_t depth) {
    ConversionSettings settings;
    settings.targetDepth = depth;
    Encoded result;
    testing::internal::CaptureStderr();
    std::optional<Conversion> conversion = PlanConversion(picture, settings, nullptr);
    if (conversion && EncodeTileImage(conversion->plan.coding, conversion->layout,
                                      PixelsToEncode(*conversion, picture), result.file)) {
        result.written = conversion->plan.coding.format;
    }
    result.err = testing::internal::GetCapturedStderr();
    return result;
}

TEST(Pixels, FileAndMemoryGiveTheSameFile) {
    struct Case {
        const char* name;
        std::int32_t width, height;
        std::uint16_t bitCount;
        bool topDown;
        std::int32_t depth;
    };
    // Widths and heights that make bands straddle the pieces the file is read in.
    const Case cases[] = {
        {"8-bit", 64, 40, 8, false, -1},
        {"8-bit, top-down", 64, 40, 8, true, -1},
        {"8-bit, narrow and tall", 8, 8200, 8, false, -1},
        {"8-bit, narrow and tall, top-down", 8, 8200, 8, true, 4},
        {"8-bit, a band wider than a piece", 9000, 16, 8, false, -1},
        {"8-bit, a band wider than a piece, top-down", 9000, 16, 8, true, 16},
        {"8-bit as Index16", 1000, 104, 8, false, 4},
        {"8-bit as FullColor16", 200, 96, 8, true, 16},
        {"24-bit", 200, 96, 24, false, -1},
        {"24-bit, top-down", 3000, 24, 24, true, -1},
        {"24-bit as Index256", 48, 48, 24, true, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BmpSpec spec;
        spec.width = c.width;
        spec.height = c.height;
        spec.bitCount = c.bitCount;
        spec.topDown = c.topDown;
        if (c.bitCount == 8) {
            // Black at entries 3 and 200, pixels using 3: the key colour moves from entry 3.
            for (int i = 0; i < 256; ++i) {
                spec.table.push_back({static_cast<std::uint8_t>(i), 9, 9});
            }
            spec.table[3] = spec.table[200] = ColorEntry{0, 0, 0};
        }
        const std::size_t bytes = static_cast<std::size_t>(c.width) * c.height * (c.bitCount / 8);
        for (std::size_t i = 0; i < bytes; ++i) {
            spec.pixels.push_back(
                static_cast<std::uint8_t>(c.bitCount == 8 ? (i * 7 + i / 13) % 13 : (i * 7) % 5));
        }
        const Bytes bmp = BuildBmp(spec);
        TempDir dir;
        WriteFile(dir / "p.bmp", bmp);
        SourceImage fromFile;
        ASSERT_TRUE(LoadBitmapFile(dir / "p.bmp", fromFile));
        const auto* rows = std::get_if<RowsInBmp>(&fromFile.rows.place);
        ASSERT_NE(rows, nullptr);
        EXPECT_NE(rows->file.handle, -1);
        const Encoded streamed = Convert(std::move(fromFile), c.depth);
        const Encoded loaded = Convert(LoadBmp(spec), c.depth);
        EXPECT_EQ(streamed.err, "");
        EXPECT_TRUE(streamed.written.has_value());
        EXPECT_EQ(streamed.written, loaded.written);
        EXPECT_EQ(streamed.file, loaded.file);
        EXPECT_FALSE(streamed.file.empty());

        // Read whole, the file's pixels are the memory picture's.
        SourceImage whole;
        ASSERT_TRUE(LoadBitmapFile(dir / "p.bmp", whole));
        const Bytes pixels = RowsFromTop(whole);
        EXPECT_EQ(pixels.size(), bytes);
        SourceImage inMemory = LoadBmp(spec);
        EXPECT_EQ(pixels, RowsFromTop(inMemory));
    }
}

#ifdef __linux__
// Bytes this process has read so far, as the kernel counts them.
std::uint64_t BytesRead() {
    std::ifstream io("/proc/self/io");
    std::string field;
    std::uint64_t value = 0;
    while (io >> field >> value && field != "rchar:") {
    }
    return value;
}

// How many times a conversion reads the picture's pixels from its file: once, but where the
// colour plan needs a look first (a key several entries match; an 8-bit picture written as
// Index16, checked to fit 4 bits before a byte is written). A 24-bit picture numbered into a
// table is encoded from the numbered picture in memory, not the file.
TEST(Pixels, PassesOverTheFile) {
    const struct {
        const char* name;
        std::uint16_t bitCount;
        bool padded;  // black at 2, used, and unused at 3 to 255
        std::int32_t depth;
        int passes;
    } cases[] = {
        {"Index256", 8, false, -1, 1},
        {"Index16", 8, false, 4, 2},
        {"FullColor16, key twice", 8, true, 16, 1},
        {"padded table", 8, true, -1, 2},
        {"24-bit", 24, false, -1, 1},
        {"24-bit as Index256", 24, false, 8, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BmpSpec spec;
        spec.width = spec.height = 512;
        spec.bitCount = c.bitCount;
        for (std::size_t i = 0; i < 256; ++i) {
            const bool black = c.padded && i >= 2;
            spec.table.push_back(black ? ColorEntry{} : ColorEntry{9, 9, std::uint8_t(i)});
        }
        for (std::size_t i = 0; i < 512 * 512 * (c.bitCount / 8u); ++i) {
            spec.pixels.push_back(static_cast<std::uint8_t>(i % 3));
        }
        TempDir dir;
        WriteFile(dir / "p.bmp", BuildBmp(spec));
        SourceImage image;
        ASSERT_TRUE(LoadBitmapFile(dir / "p.bmp", image));
        const std::uint64_t before = BytesRead();
        const Encoded result = Convert(std::move(image), c.depth);
        const double passes =
            static_cast<double>(BytesRead() - before) / static_cast<double>(spec.pixels.size());
        EXPECT_NEAR(passes, c.passes, 0.05);
        EXPECT_FALSE(result.file.empty());
    }
}
#endif

// A file cut short after its headers were checked: the conversion stops with one line and no
// output, whichever stage was reading it.
TEST(Pixels, FileThatShrinksIsReported) {
    // With black at 0 and 2 the key search reads the pixels first; without black, only the
    // encoder does.
    const std::vector<std::vector<ColorEntry>> tables = {{{0, 0, 0}, {1, 1, 1}, {0, 0, 0}},
                                                         {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}}};
    for (const auto& table : tables) {
        for (const std::int32_t depth : {-1, 4, 16}) {
            SCOPED_TRACE(testing::Message() << "depth " << depth << ", " << table.size());
            BmpSpec spec;
            spec.width = 64;
            spec.height = 64;
            spec.table = table;
            spec.pixels.assign(64 * 64, 2);
            const Bytes bmp = BuildBmp(spec);
            TempDir dir;
            WriteFile(dir / "p.bmp", bmp);
            SourceImage image;
            ASSERT_TRUE(LoadBitmapFile(dir / "p.bmp", image));
            std::filesystem::resize_file(PathOf(dir / "p.bmp"), bmp.size() - 100);
            const Encoded result = Convert(std::move(image), depth);
            EXPECT_FALSE(result.written.has_value());
            EXPECT_EQ(result.err, (dir / "p.bmp") + " is truncated.\n");
        }
    }
}

}  // namespace
}  // namespace bmp2tvx::test
