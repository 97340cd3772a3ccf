#include <gtest/gtest.h>

#include "picture_reader.h"
#include "test_support.h"

namespace bmp2tvx::test {
namespace {

// A 16 x 8 picture whose every pixel is distinct: value = y * 16 + x, top row first.
Bytes CountingPixels(std::int32_t width, std::int32_t height, std::size_t bytesPerPixel) {
    Bytes pixels(static_cast<std::size_t>(width * height) * bytesPerPixel);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return pixels;
}

std::vector<ColorEntry> Ramp(std::size_t count) {
    std::vector<ColorEntry> table;
    for (std::size_t i = 0; i < count; ++i) {
        table.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                         static_cast<std::uint8_t>(i ^ 0x55)});
    }
    return table;
}

struct LoadResult {
    bool ok = false;
    std::string err;
    SourceImage image;
};

const IndexedPicture& Table(const SourceImage& image) {
    return std::get<IndexedPicture>(image.picture.colors);
}

LoadResult Load(const Bytes& file) {
    LoadResult result;
    testing::internal::CaptureStderr();
    result.ok = LoadPicture(FileInMemory("pic.bmp", file), result.image);
    result.err = testing::internal::GetCapturedStderr();
    return result;
}

// Every way of storing the same picture loads to the same rows, bottom-up, and the same table.
TEST(Reader, HeaderVariantsLoadTheSamePicture) {
    struct Case {
        const char* name;
        std::uint16_t bitCount;
        std::uint32_t infoSize;
        std::size_t tableEntries;
        std::uint32_t gap;
        bool topDown;
    };
    const Case cases[] = {
        {"8-bit, 40-byte header", 8, 40, 256, 0, false},
        {"8-bit, 108-byte header", 8, 108, 256, 0, false},
        {"8-bit, 124-byte header", 8, 124, 256, 0, false},
        {"8-bit, 64-byte header, gap before pixels", 8, 64, 256, 20, false},
        {"8-bit, top-down", 8, 40, 256, 0, true},
        {"8-bit, table of 300 entries keeps 256", 8, 40, 300, 0, false},
        {"24-bit, 40-byte header", 24, 40, 0, 0, false},
        {"24-bit, 124-byte header, top-down", 24, 124, 0, 0, true},
        {"24-bit with a colour table", 24, 40, 256, 0, false},
        {"24-bit, gap before pixels", 24, 56, 0, 4, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BmpSpec spec;
        spec.width = 16;
        spec.height = 8;
        spec.bitCount = c.bitCount;
        spec.infoSize = c.infoSize;
        spec.table = Ramp(c.tableEntries);
        spec.gap = c.gap;
        spec.topDown = c.topDown;
        spec.pixels = CountingPixels(16, 8, c.bitCount / 8u);
        LoadResult r = Load(BuildBmp(spec));
        ASSERT_TRUE(r.ok) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.image.picture.width, 16);
        EXPECT_EQ(r.image.picture.height, 8);
        EXPECT_EQ(KindOf(r.image.picture),
                  c.bitCount == 24 ? SourceKind::FullColor : SourceKind::Index);
        const std::size_t rowBytes = 16u * (c.bitCount / 8u);
        const Bytes rows = RowsFromTop(r.image);
        ASSERT_EQ(rows.size(), rowBytes * 8);  // the source's own kind of pixels, no more
        for (std::int32_t y = 0; y < 8; ++y) {
            const auto row = rows.begin() + static_cast<std::ptrdiff_t>(rowBytes) * y;
            const Bytes expected(
                spec.pixels.begin() + static_cast<std::ptrdiff_t>(rowBytes) * y,
                spec.pixels.begin() + static_cast<std::ptrdiff_t>(rowBytes) * (y + 1));
            EXPECT_EQ(Bytes(row, row + static_cast<std::ptrdiff_t>(rowBytes)), expected)
                << "row " << y;
        }
        if (c.bitCount == 8) {
            EXPECT_EQ(Table(r.image).supplied, 256);
            EXPECT_EQ(Table(r.image).table[200].blue, 200);
            EXPECT_EQ(Table(r.image).table[200].green, 55);
            EXPECT_EQ(Table(r.image).table[200].red, 200 ^ 0x55);
        }
    }
}

// N = (bfOffBits - biSize - 14) / 4 entries come from the file; the rest are black.
TEST(Reader, ColorTableCountFollowsPixelOffset) {
    const struct {
        std::size_t entries;
        std::uint32_t gap;
        std::int32_t expected;
    } cases[] = {{16, 0, 16}, {0, 0, 0}, {2, 3, 2}, {255, 0, 255}, {256, 0, 256}, {400, 0, 256}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entries);
        BmpSpec spec;
        spec.table = std::vector<ColorEntry>(c.entries, ColorEntry{9, 9, 9});
        spec.gap = c.gap;
        LoadResult r = Load(BuildBmp(spec));
        ASSERT_TRUE(r.ok) << r.err;
        EXPECT_EQ(Table(r.image).supplied, c.expected);
        for (std::size_t i = 0; i < 256; ++i) {
            const std::uint8_t v = static_cast<std::int32_t>(i) < c.expected ? 9 : 0;
            EXPECT_EQ(Table(r.image).table[i].blue, v);
            EXPECT_EQ(Table(r.image).table[i].red, v);
        }
    }
}

// One line for the first problem found, in a fixed order of checks.
TEST(Reader, RefusalsAndTheirOrder) {
    auto file = [](auto&& change) {
        BmpSpec spec;
        spec.table = Ramp(4);
        change(spec);
        return BuildBmp(spec);
    };
    auto edit = [](Bytes f, auto&& change) {
        change(f);
        return f;
    };
    const Bytes good = file([](BmpSpec&) {});
    const struct {
        const char* name;
        Bytes bytes;
        const char* message;
    } cases[] = {
        {"empty", {}, "pic.bmp is not a valid bitmap file.\n"},
        {"only BM", {'B', 'M'}, "pic.bmp is truncated.\n"},
        {"BA signature", edit(good, [](Bytes& f) { f[1] = 'A'; }),
         "pic.bmp is not a valid bitmap file.\n"},
        {"ends inside the headers", Bytes(good.begin(), good.begin() + 53),
         "pic.bmp is truncated.\n"},
        {"12-byte header", edit(good, [](Bytes& f) { Poke32(f, 14, 12); }),
         "pic.bmp is not a valid bitmap file.\n"},
        {"39-byte header", edit(good, [](Bytes& f) { Poke32(f, 14, 39); }),
         "pic.bmp is not a valid bitmap file.\n"},
        {"2-bit, bad width and compressed", file([](BmpSpec& s) {
             s.bitCount = 2;
             s.width = 20;
             s.compression = 3;
         }),
         "pic.bmp is not in 1-, 4-, 8-, 16-, 24- or 32-bit color.\n"},
        {"64-bit", file([](BmpSpec& s) { s.bitCount = 64; }),
         "pic.bmp is not in 1-, 4-, 8-, 16-, 24- or 32-bit color.\n"},
        {"24-bit 20 x 16", file([](BmpSpec& s) {
             s.bitCount = 24;
             s.width = 20;
             s.height = 16;
         }),
         "pic.bmp does not have width or height a multiple of 8.\n"},
        {"height -12 and compressed", file([](BmpSpec& s) {
             s.height = 12;
             s.topDown = true;
             s.compression = 1;
         }),
         "pic.bmp does not have width or height a multiple of 8.\n"},
        {"8-bit RLE 16 x 16", file([](BmpSpec& s) {
             s.width = 16;
             s.height = 16;
             s.compression = 1;
         }),
         "pic.bmp is not uncompressed.\n"},
        {"8-bit with bit fields", file([](BmpSpec& s) { s.compression = 3; }),
         "pic.bmp is not uncompressed.\n"},
        {"16-bit with masks not contiguous", file([](BmpSpec& s) {
             s.bitCount = 16;
             s.infoSize = 56;
             s.compression = 3;
         }),
         "pic.bmp has bit-field masks that are empty, overlap or are not contiguous.\n"},
        {"most negative width", edit(good, [](Bytes& f) { Poke32(f, 18, 0x80000000u); }),
         "pic.bmp is too large to convert.\n"},
        {"pixel offset inside the info header", edit(good, [](Bytes& f) { Poke32(f, 10, 40); }),
         "pic.bmp is not a valid bitmap file.\n"},
        {"pixel offset 0", edit(good, [](Bytes& f) { Poke32(f, 10, 0); }),
         "pic.bmp is not a valid bitmap file.\n"},
        {"header of 2^31 bytes", edit(good, [](Bytes& f) { Poke32(f, 14, 0x80000000u); }),
         "pic.bmp is not a valid bitmap file.\n"},
        {"pixel offset past the end", edit(good, [](Bytes& f) { Poke32(f, 10, 5000); }),
         "pic.bmp is truncated.\n"},
        {"last pixel row missing", Bytes(good.begin(), good.end() - 8), "pic.bmp is truncated.\n"},
        {"65536 x 65536 announced",
         edit(good,
              [](Bytes& f) {
                  Poke32(f, 18, 65536);
                  Poke32(f, 22, 65536);
              }),
         "pic.bmp is truncated.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoadResult r = Load(c.bytes);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.err, c.message);
    }
}

TEST(Reader, ZeroSizedPicturesLoad) {
    for (const auto& [w, h] : {std::pair{0, 16}, std::pair{16, 0}, std::pair{0, 0}}) {
        BmpSpec spec;
        spec.width = w;
        spec.height = h;
        LoadResult r = Load(BuildBmp(spec));
        ASSERT_TRUE(r.ok) << r.err;
        EXPECT_EQ(r.image.picture.width, w);
        EXPECT_EQ(r.image.picture.height, h);
    }
}

TEST(Reader, MissingFile) {
    SourceImage image;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadBitmapFile("/nonexistent/pic.bmp", image));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Could not open /nonexistent/pic.bmp.\n");
}

}  // namespace
}  // namespace bmp2tvx::test
