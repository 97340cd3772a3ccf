// The colour plan, as one table of (picture, settings) to (palette, entry 0, how each pixel is
// written) or a refusal. Every accepted row is also checked whole: each pixel written at an entry
// other than 0 keeps its colour as the handheld shows it, and exactly the pixels meant for entry 0
// are written there.
#include <gtest/gtest.h>

#include "color_plan.h"
#include "convert.h"
#include "picture_reader.h"
#include "test_support.h"
#ifdef BMP2TVX_READS_PNG
#include "png_support.h"
#endif

namespace bmp2tvx::test {
namespace {

constexpr ColorEntry kBlack{0, 0, 0};
constexpr ColorEntry kNearBlack{7, 7, 7};
constexpr ColorEntry kMagenta{255, 0, 255};  // blue, green, red

ColorEntry Color(std::size_t i) {  // never black, never magenta
    return {static_cast<std::uint8_t>(i + 1), static_cast<std::uint8_t>(i >> 8), 9};
}

std::vector<ColorEntry> Distinct(std::size_t count) {
    std::vector<ColorEntry> table;
    for (std::size_t i = 0; i < count; ++i) {
        table.push_back(Color(i));
    }
    return table;
}

// A 16 x 16 indexed picture (or `side` square) of `pixels`, by default every entry once.
Bytes Indexed(std::vector<ColorEntry> table, std::vector<std::size_t> copiesOf = {},
              ColorEntry copy = kBlack, Bytes pixels = {}, std::int32_t side = 16) {
    for (const std::size_t e : copiesOf) {
        table[e] = copy;
    }
    BmpSpec spec;
    spec.width = spec.height = side;
    spec.table = table;
    spec.pixels = pixels;
    for (std::size_t i = 0; pixels.empty() && i < 256; ++i) {
        spec.pixels.push_back(static_cast<std::uint8_t>(i * 11));
    }
    return BuildBmp(spec);
}

// Pixels of a 16 x 16 picture using entries 0 to count - 1, each at least once.
Bytes UsingFirst(std::size_t count) {
    Bytes pixels(256);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i % count);
    }
    return pixels;
}

// A 64 KiB picture of entry 1 with entry 3 at pixel `at`, if any, and black at `copies`.
Bytes Large(std::vector<std::size_t> copies, std::optional<std::size_t> at) {
    Bytes pixels(256 * 256, 1);
    if (at) {
        pixels[*at] = 3;
    }
    return Indexed(Distinct(256), std::move(copies), kBlack, std::move(pixels), 256);
}

// A true-colour picture of `width` x 8 whose pixel i takes colours[i % size].
Bytes TrueColor(const std::vector<ColorEntry>& colours, std::int32_t width = 16) {
    BmpSpec spec;
    spec.width = width;
    spec.bitCount = 24;
    for (std::int32_t i = 0; i < width * 8; ++i) {
        const ColorEntry& e = colours[static_cast<std::size_t>(i) % colours.size()];
        spec.pixels.insert(spec.pixels.end(), {e.blue, e.green, e.red});
    }
    return BuildBmp(spec);
}

#ifdef BMP2TVX_READS_PNG
// An RGBA picture of 16 x 8 whose pixel i takes colours[i % size], all opaque but the last pixel,
// whose alpha is `lastAlpha`.
Bytes Rgba(const std::vector<ColorEntry>& colours, std::uint8_t lastAlpha) {
    PngSpec spec{16, 8, 6, 8, false, {}, {}, {}};
    for (std::size_t i = 0; i < 16 * 8; ++i) {
        const ColorEntry& e = colours[i % colours.size()];
        spec.samples.insert(spec.samples.end(), {e.red, e.green, e.blue, 255});
    }
    spec.samples.back() = lastAlpha;
    return BuildPng(spec);
}
#endif

struct Settings {
    std::int32_t depth = -1;
    std::int32_t red = 0, green = 0, blue = 0;
    bool keep = false;
};

struct Row {
    std::string name;
    Bytes picture;
    Settings settings;
    const char* refusal;                 // "" when it is planned
    std::vector<ColorEntry> table = {};  // the palette block's first entries
    int zeroFrom = 0;  // an indexed picture's entry that becomes 0, exchanged with it
};

std::vector<Row> Rows() {
    const Settings index16{4}, index256{8};
    std::vector<ColorEntry> fifteen = Distinct(15), withKey = {kBlack};
    withKey.insert(withKey.end(), fifteen.begin(), fifteen.end());
    std::vector<ColorEntry> fifteenAndKey = fifteen, sixteen = fifteen, sixteenTable = withKey;
    fifteenAndKey.insert(fifteenAndKey.begin() + 6, kBlack);
    sixteen.push_back(Color(99));
    sixteenTable.push_back(Color(99));
    const ColorEntry a{10, 20, 30}, b{40, 50, 60}, c{70, 80, 90};
    // Colours are numbered in the order they first appear tile by tile, not row by row: the right
    // tile's top-left pixel (b) comes before the left tile's bottom-left pixel (c) in rows.
    std::vector<ColorEntry> tileOrder(16 * 8, a);
    tileOrder[8] = b;
    tileOrder[7 * 16] = c;
    const auto tooMany = [](int n, const char* layout, int room) {
        return "p.bmp uses " + std::to_string(n) + " colours besides the key colour; " + layout +
               " has room for " + std::to_string(room) + ".\n";
    };
    std::vector<ColorEntry> keyLast = fifteen;
    keyLast.push_back(kBlack);
    static std::vector<std::string> lines;
    lines = {tooMany(16, "Index16", 15),
             tooMany(17, "Index16", 15),
             tooMany(256, "Index256", 255),
             tooMany(512, "Index256", 255),
             "p.bmp uses colours above 15 and cannot be written as Index16.\n",
             "p.bmp uses 16 opaque colours besides its transparent pixels; Index16 has room for "
             "15.\n"};
    return {
        // An indexed picture: the key colour's entry is exchanged with entry 0.
        {"no black anywhere", Indexed(Distinct(256)), {}, "", {Color(0)}, 0},
        {"magenta at 7",
         Indexed(Distinct(256), {7}, kMagenta),
         {-1, 255, 0, 255},
         "",
         {kMagenta},
         7},
        {"a key red of 300", Indexed(Distinct(256), {7}, kMagenta), {-1, 300, 0, 255}, "", {}, 0},
        {"a key blue of -1", Indexed(Distinct(256), {7}, kMagenta), {-1, 255, 0, -1}, "", {}, 0},
        {"black at 5 and 200 to 255: the highest",
         Indexed(Distinct(256), {5, 200, 201, 255}),
         {},
         "",
         {kBlack},
         255},
        {"Index16 searches entries 0 to 15 only",
         Indexed(Distinct(256), {3, 16, 255}, kBlack, UsingFirst(16)),
         index16,
         "",
         {kBlack},
         3},
        {"Index256 searches them all",
         Indexed(Distinct(256), {3, 16, 255}),
         index256,
         "",
         {kBlack},
         255},
        {"a 16-entry table: no black filler", Indexed(Distinct(16), {9}), {}, "", {kBlack}, 9},
        {"a 16-entry table without black", Indexed(Distinct(16)), {}, "", {Color(0)}, 0},
        {"the key at entry 0",
         Indexed(Distinct(4), {0}, kMagenta),
         {-1, 255, 0, 255},
         "",
         {kMagenta},
         0},
        // Copies of the key colour that no pixel uses, as writers pad tables with black: the
        // highest copy pixels use wins; only when none is used, the highest copy.
        {"used at 2, unused 3 to 255",
         Indexed(Distinct(256), {2, 3, 128, 255}, kBlack, UsingFirst(3)),
         {},
         "",
         {kBlack},
         2},
        {"the same, none used",
         Indexed(Distinct(256), {2, 3, 128, 255}, kBlack, Bytes(256, 1)),
         {},
         "",
         {kBlack},
         255},
        {"Index16: used at 2, unused 9 to 15",
         Indexed(Distinct(256), {2, 9, 15}, kBlack, UsingFirst(9)),
         index16,
         "",
         {kBlack},
         2},
        {"used at 4 and 7, unused 200",
         Indexed(Distinct(256), {4, 7, 200}, kMagenta, UsingFirst(8)),
         {-1, 255, 0, 255},
         "",
         {kMagenta},
         7},
        {"4, 7 and 200 unused",
         Indexed(Distinct(256), {4, 7, 200}, kMagenta, UsingFirst(4)),
         {-1, 255, 0, 255},
         "",
         {kMagenta},
         200},
        {"entry 0 used, 9 unused: nothing moves",
         Indexed(Distinct(256), {0, 9}, kBlack, UsingFirst(6)),
         {},
         "",
         {kBlack},
         0},
        {"entries 0 and 9 unused",
         Indexed(Distinct(256), {0, 9}, kBlack, Bytes(256, 3)),
         {},
         "",
         {kBlack},
         9},
        {"entries 0 and 9 used",
         Indexed(Distinct(256), {0, 9}, kBlack, UsingFirst(12)),
         {},
         "",
         {kBlack},
         9},
        // The search covers every pixel of a picture larger than its blocks.
        {"two copies, used at the last pixel", Large({3, 200}, 65535), {}, "", {kBlack}, 3},
        {"three copies, used at pixel 16384", Large({0, 3, 200}, 16384), {}, "", {kBlack}, 3},
        {"four copies, used at pixel 40000", Large({3, 9, 17, 200}, 40000), {}, "", {kBlack}, 3},
        {"four copies, none used", Large({3, 9, 17, 200}, std::nullopt), {}, "", {kBlack}, 200},
        {"--key=none: nothing moves",
         Indexed(Distinct(256), {5}),
         {-1, 0, 0, 0, true},
         "",
         {Color(0)},
         0},
        {"Index16 with entry 16 used", Indexed(Distinct(256), {}, kBlack, UsingFirst(17)), index16,
         lines[4].c_str()},
        // A true-colour picture written as tiles: entry 0 holds the key colour, and exactly the
        // pixels of that colour use it; the others follow in order of first appearance.
        {"first appearance in tile order", TrueColor(tileOrder), index256, "", {kBlack, a, c, b}},
        {"a magenta key",
         TrueColor({Color(5), kMagenta, Color(6)}),
         {4, 255, 0, 255},
         "",
         {kMagenta, Color(5), Color(6)}},
        {"the key absent: entry 0 unused",
         TrueColor({Color(5), Color(6)}),
         index16,
         "",
         {kBlack, Color(5), Color(6)}},
        {"15 colours and the key, Index16", TrueColor(fifteenAndKey), index16, "", withKey},
        {"15 colours without the key, Index16", TrueColor(fifteen), index16, "", withKey},
        {"16 colours, Index16", TrueColor(sixteen), index16, lines[0].c_str()},
        {"16 colours, Index256", TrueColor(sixteen), index256, "", sixteenTable},
        {"near black against a black key",
         TrueColor({kNearBlack, kBlack}),
         index256,
         "",
         {kBlack, kNearBlack}},
        {"a key red of 300 matches nothing",
         TrueColor({kBlack, Color(3)}),
         {8, 300},
         "",
         {kBlack, kBlack, Color(3)}},
        {"a key blue of -1 matches nothing",
         TrueColor({kMagenta}),
         {4, 255, 0, -1},
         "",
         {kBlack, kMagenta}},
        {"--key=none: black is a colour",
         TrueColor({kBlack, Color(3)}),
         {4, 0, 0, 0, true},
         "",
         {kBlack, kBlack, Color(3)}},
        {"17 colours, Index16", TrueColor(Distinct(17), 32), index16, lines[1].c_str()},
        {"255 colours, Index256", TrueColor(Distinct(255), 32), index256, "", {kBlack}},
        {"256 colours, Index256", TrueColor(Distinct(256), 32), index256, lines[2].c_str()},
        {"512 colours, Index256", TrueColor(Distinct(512), 64), index256, lines[3].c_str()},
#ifdef BMP2TVX_READS_PNG
        // With alpha, entry 0 is the transparent pixels'; a picture without any gives it to the
        // key colour, wherever the key first appears.
        {"RGBA, none transparent, 15 colours and the key", Rgba(fifteenAndKey, 255), index16, "",
         withKey},
        {"RGBA, none transparent, the key last", Rgba(keyLast, 255), index16, "", withKey},
        {"RGBA, a transparent pixel and 16 opaque colours", Rgba(fifteenAndKey, 0), index16,
         lines[5].c_str()},
#endif
    };
}

// The colour word each pixel of a picture has, rows from the top.
std::vector<Color15> Words(SourceImage& image) {
    const Bytes rows = RowsFromTop(image);
    std::vector<Color15> words;
    const std::size_t step = BytesPerPixel(image.picture);
    const auto* indexed = std::get_if<IndexedPicture>(&image.picture.colors);
    for (std::size_t i = 0; i < rows.size(); i += step) {
        words.push_back(indexed ? ToColor15(indexed->table[rows[i]])
                                : ToColor15(rows[i], rows[i + 1], rows[i + 2]));
    }
    return words;
}

TEST(ColorPlan, EntryZeroPaletteAndPixels) {
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.name);
        SourceImage image;
        ASSERT_TRUE(LoadPicture(FileInMemory("p.bmp", row.picture), image));
        const Settings& wanted = row.settings;
        ConversionSettings settings;
        settings.targetDepth = wanted.depth;
        settings.keyRed = wanted.red;
        settings.keyGreen = wanted.green;
        settings.keyBlue = wanted.blue;
        settings.keepIndices = wanted.keep;
        testing::internal::CaptureStderr();
        std::optional<Conversion> conversion = PlanConversion(image, settings, nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), row.refusal);
        ASSERT_EQ(conversion.has_value(), *row.refusal == '\0');
        if (!conversion) {
            continue;
        }
        const PixelCoding& coding = conversion->plan.coding;
        for (std::size_t e = 0; e < row.table.size(); ++e) {
            EXPECT_EQ(coding.palette[e], ToColor15(row.table[e])) << "entry " << e;
        }
        const std::vector<Color15> words = Words(image);
        const Bytes stored = RowsFromTop(image);
        const Bytes indices = RowsFromTop(PixelsToEncode(*conversion, image));
        const KeyRequest key = MakeKey(wanted.red, wanted.green, wanted.blue, wanted.keep);
        const bool indexed = KindOf(image.picture) == SourceKind::Index;
        const std::size_t step = BytesPerPixel(image.picture);
        for (std::size_t i = 0; i < words.size(); ++i) {
            const std::uint8_t written = coding.map[indices[i]];
            const std::uint8_t* p = &stored[step * i];
            const bool zero = indexed ? *p == row.zeroFrom
                                      : key.color && ColorEntry{p[0], p[1], p[2]} == *key.color;
            EXPECT_EQ(written == 0, zero) << "pixel " << i;
            if (written != 0) {
                EXPECT_EQ(coding.palette[written], words[i]) << "pixel " << i;
            }
        }
    }
}

}  // namespace
}  // namespace bmp2tvx::test
