// Every picture format the tool reads, against the 8- or 24-bit BMP it must convert like: the same
// picture in both forms, run the same way, gives the same lines, exit status and bytes. Both
// files are named in.pic, since a picture is told by its first bytes. Transparency has no BMP of
// its own, so those pictures are compared with the BMP that holds what they must become.
#include <array>
#include <bit>

#include <gtest/gtest.h>

#include "test_support.h"
#ifdef BMP2TVX_READS_PNG
#include "png_support.h"
#endif

namespace bmp2tvx::test {
namespace {

constexpr std::int32_t kWidth = 16;
constexpr std::int32_t kHeight = 8;
constexpr int kPixels = kWidth * kHeight;

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

std::vector<ColorEntry> Palette(int n) {
    std::vector<ColorEntry> table;
    for (int i = 0; i < n; ++i) {
        table.push_back({static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(255 - i),
                         static_cast<std::uint8_t>(i * 91)});
    }
    return table;
}

// Indices taken in turn from `used`, or 0 to n - 1 for n alone.
Bytes Indices(int n, Bytes used = {}) {
    for (int i = 0; used.empty() && i < n; ++i) {
        used.push_back(static_cast<std::uint8_t>(i));
    }
    Bytes indices;
    for (int i = 0; i < kPixels; ++i) {
        indices.push_back(
            used[static_cast<std::size_t>((i % kWidth) * 3 + i / kWidth * 5) % used.size()]);
    }
    return indices;
}

// A picture of `colours` colours, black and white among them; with `clear`, every fifth pixel is
// transparent, whatever its colour bytes.
std::vector<Rgba> Sprite(int colours, bool clear) {
    static constexpr Rgba kColours[] = {{0, 0, 0},     {255, 255, 255}, {200, 40, 40},
                                        {40, 200, 40}, {40, 40, 200},   {250, 200, 0},
                                        {120, 0, 160}, {0, 128, 128}};
    std::vector<Rgba> pixels;
    for (int i = 0; i < kPixels; ++i) {
        const int x = i % kWidth, y = i / kWidth, k = (x / 2 + y * 3) % colours;
        Rgba p = k < 8 ? kColours[k] : Rgba{static_cast<std::uint8_t>(k * 11), 99, 7};
        p.a = clear && (x + 3 * y) % 5 == 0 ? 0 : 255;
        pixels.push_back(p);
    }
    return pixels;
}

// The 8 bits a channel reads as once stored in `bits` bits: its top bits repeated, or itself.
std::uint8_t Through(std::uint8_t c, int bits) {
    if (bits >= 8) {
        return c;
    }
    const unsigned v = c >> (8 - bits);
    unsigned out = 0;
    for (int i = 0; i < 8; ++i) {
        out |= ((v >> (bits - 1 - i % bits)) & 1u) << (7 - i);
    }
    return static_cast<std::uint8_t>(out);
}

std::vector<Rgba> Stored(std::vector<Rgba> pixels, int red, int green, int blue) {
    for (Rgba& p : pixels) {
        p = {Through(p.r, red), Through(p.g, green), Through(p.b, blue), p.a};
    }
    return pixels;
}

Bytes Bmp8(const std::vector<ColorEntry>& table, const Bytes& indices) {
    BmpSpec spec;
    spec.width = kWidth;
    spec.table = table;
    spec.pixels = indices;
    return BuildBmp(spec);
}

// A 24-bit BMP of the picture, its transparent pixels painted `paint`.
Bytes Bmp24(const std::vector<Rgba>& pixels, Rgba paint = {}) {
    BmpSpec spec;
    spec.width = kWidth;
    spec.bitCount = 24;
    for (const Rgba& p : pixels) {
        const Rgba& c = p.a == 0 ? paint : p;
        spec.pixels.insert(spec.pixels.end(), {c.b, c.g, c.r});
    }
    return BuildBmp(spec);
}

Bytes PackedBmp(const std::vector<ColorEntry>& table, const Bytes& indices, std::uint16_t bits) {
    BmpSpec spec;
    spec.width = kWidth;
    spec.bitCount = bits;
    spec.topDown = bits == 4;
    spec.table = table;
    const int perRow = (kWidth * bits + 31) / 32 * 4;
    spec.pixels.assign(static_cast<std::size_t>(perRow * kHeight), 0);
    for (int i = 0; i < kPixels; ++i) {
        const int bit = (i / kWidth) * perRow * 8 + (i % kWidth) * bits;
        spec.pixels[static_cast<std::size_t>(bit / 8)] |=
            static_cast<std::uint8_t>(indices[static_cast<std::size_t>(i)] << (8 - bits - bit % 8));
    }
    return BuildBmp(spec);
}

// A 16- or 32-bit BMP with bit fields: red, green, blue, alpha in `masks`, after a 40-byte header
// or inside a longer one. Bits outside the masks are set in odd pixels, and a field wider than 8
// bits has low bits that must be dropped.
Bytes FieldsBmp(const std::vector<Rgba>& pixels, std::uint16_t bits, std::uint32_t infoSize,
                std::array<std::uint32_t, 4> masks) {
    BmpSpec spec;
    spec.width = kWidth;
    spec.bitCount = bits;
    spec.infoSize = infoSize;
    spec.compression = 3;
    spec.gap = infoSize == 40 ? 12 : 0;
    const std::uint32_t all = masks[0] | masks[1] | masks[2] | masks[3];
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const Rgba& p = pixels[i];
        const std::uint8_t channels[] = {p.r, p.g, p.b, p.a};
        std::uint32_t word = i % 2 != 0 ? ~all : 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const int shift = std::countr_zero(masks[k]), n = std::popcount(masks[k]);
            const std::uint32_t c = channels[k];
            word |= masks[k] == 0 ? 0
                    : n >= 8      ? ((c << (n - 8)) | (0x2A5u & ((1u << (n - 8)) - 1))) << shift
                                  : (c >> (8 - n)) << shift;
        }
        for (int b = 0; b < bits / 8; ++b) {
            spec.pixels.push_back(static_cast<std::uint8_t>(word >> (8 * b)));
        }
    }
    Bytes file = BuildBmp(spec);
    for (std::size_t k = 0; k < (infoSize >= 56 ? 4u : 3u); ++k) {
        Poke32(file, 54 + 4 * k, masks[k]);
    }
    return file;
}

constexpr std::array<std::uint32_t, 4> kArgb = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};

struct Case {
    std::string name;
    Bytes subject;
    std::vector<std::string> flags;       // for both files
    Bytes equivalent;                     // empty: the subject is refused with `refusal`
    std::vector<std::string> extra = {};  // flags for the equivalent alone, after the others
    std::vector<std::string> depths = {"", "-c4", "-c8", "-c16"};
    std::string refusal = {};
};

Case Same(std::string name, Bytes subject, Bytes equivalent) {
    return {std::move(name), std::move(subject), {}, std::move(equivalent)};
}

// A picture with transparent pixels against the 24-bit BMP with them painted a colour it lacks
// that the handheld shows as the key colour, (1,1,1) for black, made the key: its tiles then give
// the transparent pixels entry 0, and every opaque colour, the key colour too, an entry from 1.
Case Painted(std::string name, Bytes subject, const std::vector<Rgba>& pixels,
             std::vector<std::string> flags = {}) {
    const bool white = !flags.empty();
    return {std::move(name), std::move(subject), std::move(flags),
            Bmp24(pixels, white ? Rgba{254, 254, 254} : Rgba{1, 1, 1}),
            white ? std::vector<std::string>{"-r254", "-g254", "-b254"}
                  : std::vector<std::string>{"-r1", "-g1", "-b1"}};
}

Case Refused(std::string name, Bytes subject, std::string depth, std::string refusal) {
    return {std::move(name),    std::move(subject), {}, {}, {},
            {std::move(depth)}, std::move(refusal)};
}

std::string Partly(int x, int y) {
    return "has a partly transparent pixel at (" + std::to_string(x) + "," + std::to_string(y) +
           "); the handheld draws a pixel or does not.";
}

#ifdef BMP2TVX_READS_PNG
std::vector<Rgba> Grey(std::vector<std::uint8_t> levels) {
    std::vector<Rgba> pixels;
    for (int i = 0; i < kPixels; ++i) {
        const std::uint8_t v =
            levels[static_cast<std::size_t>(i % kWidth + i / kWidth) % 6 % levels.size()];
        pixels.push_back({v, v, v});
    }
    return pixels;
}

Bytes IndexedPng(int depth, const std::vector<ColorEntry>& palette, const Bytes& indices,
                 std::vector<std::uint16_t> trns = {}, bool interlaced = false) {
    return BuildPng({kWidth, kHeight, 3, depth, interlaced, palette, std::move(trns), indices});
}

// Grey (type 0 and 4) takes each pixel's red; at 16 bits the low byte is noise, but for alpha.
Bytes TruePng(const std::vector<Rgba>& pixels, int type, int depth, bool interlaced = false,
              std::vector<std::uint16_t> trns = {}) {
    PngSpec spec{kWidth, kHeight, type, depth, interlaced, {}, std::move(trns), {}};
    for (const Rgba& p : pixels) {
        std::vector<std::uint8_t> channels = {p.r};
        if (type == 2 || type == 6) {
            channels.insert(channels.end(), {p.g, p.b});
        }
        if (type == 4 || type == 6) {
            channels.push_back(p.a);
        }
        for (std::size_t k = 0; k < channels.size(); ++k) {
            const bool alpha = (type == 4 || type == 6) && k + 1 == channels.size();
            const std::uint8_t v = channels[k];
            if (depth == 16) {
                spec.samples.insert(spec.samples.end(), {v, alpha ? v : std::uint8_t(v ^ 0x5C)});
            } else {
                spec.samples.push_back(static_cast<std::uint8_t>(v >> (8 - depth)));
            }
        }
    }
    return BuildPng(spec);
}

void AddPngCases(std::vector<Case>& cases) {
    // One of each kind; PngSuite has every depth of every colour type.
    const std::vector<Rgba> opaque = Sprite(20, false);
    const std::vector<Rgba> grey = Grey({0, 0x40, 0x93, 0xFF, 0x22, 0xC5});
    cases.push_back(Same("indexed PNG, 2 bits, a short PLTE", IndexedPng(2, Palette(3), Indices(3)),
                         Bmp8(Palette(3), Indices(3))));
    cases.push_back(Same("grey PNG, 4 bits", TruePng(grey, 0, 4), Bmp24(Stored(grey, 4, 4, 4))));
    cases.push_back(Same("RGB PNG, 16 bits", TruePng(opaque, 2, 16), Bmp24(opaque)));
    cases.push_back(Same("RGBA PNG, opaque", TruePng(opaque, 6, 8), Bmp24(opaque)));

    // An indexed picture's lowest used transparent entry (3) is exchanged with entry 0 and the
    // other transparent entry it uses (4) reads as 0; the key colour, here entry 2's, moves
    // nothing. Written as FullColor16, transparent pixels take the key colour.
    const std::vector<ColorEntry> six = Palette(6);
    const Bytes used = Indices(6, {0, 2, 3, 4, 5});
    const std::vector<std::string> keyOf2 = {"-r" + std::to_string(six[2].red),
                                             "-g" + std::to_string(six[2].green),
                                             "-b" + std::to_string(six[2].blue)};
    std::vector<ColorEntry> exchanged = six, keyed = six, black4 = six;
    std::swap(exchanged[0], exchanged[3]);
    keyed[1] = keyed[3] = keyed[4] = six[2];
    black4[4] = {};  // the key colour, which moves to entry 0 when no pixel is transparent
    Bytes moved = used;
    for (std::uint8_t& v : moved) {
        v = v == 0 ? 3 : v == 3 || v == 4 ? 0 : v;
    }
    const Bytes tRns = IndexedPng(8, six, used, {255, 0, 255, 0, 0});
    cases.push_back({"indexed PNG with tRNS",
                     tRns,
                     keyOf2,
                     Bmp8(exchanged, moved),
                     {"-r-1"},
                     {"", "-c4", "-c8"}});
    cases.push_back(
        {"indexed PNG with tRNS, FullColor16", tRns, keyOf2, Bmp8(keyed, used), {}, {"-c16"}});
    cases.push_back(Same("indexed PNG with tRNS on an unused entry only",
                         IndexedPng(8, black4, used, {255, 0}), Bmp8(black4, used)));

    const std::vector<Rgba> sprite = Sprite(8, true);
    std::vector<Rgba> greySprite = sprite, greyClear = grey, rgbClear = opaque, wideClear = grey;
    for (Rgba& p : greySprite) {
        p.g = p.b = p.r;
    }
    for (Rgba& p : greyClear) {
        p.a = p.r == 0x40 ? 0 : 255;
    }
    for (Rgba& p : rgbClear) {
        p.a = p.r == 200 && p.g == 40 ? 0 : 255;
    }
    // At 16 bits the tRNS colour is all 16 bits: 0x40FF is not 0x4000, though both read as 0x40.
    PngSpec wide{kWidth, kHeight, 0, 16, false, {}, {0x4000}, {}};
    for (std::size_t i = 0; i < wideClear.size(); ++i) {
        Rgba& p = wideClear[i];
        const std::uint8_t low = p.r != 0x40 ? 7 : i % 2 != 0 ? 0xFF : 0;
        wide.samples.insert(wide.samples.end(), {p.r, low});
        p.a = p.r == 0x40 && low == 0 ? 0 : 255;
    }
    cases.push_back(Painted("RGBA PNG", TruePng(sprite, 6, 8), sprite));
    cases.push_back(Painted("RGBA PNG, 16 bits, a white key", TruePng(sprite, 6, 16), sprite,
                            {"-r255", "-g255", "-b255"}));
    cases.push_back(
        Painted("interlaced grey and alpha PNG", TruePng(greySprite, 4, 8, true), greySprite));
    cases.push_back(
        Painted("grey PNG with a tRNS colour", TruePng(grey, 0, 8, false, {0x40}), greyClear));
    cases.push_back(Painted("16-bit grey PNG with a tRNS colour", BuildPng(wide), wideClear));
    cases.push_back(Painted("RGB PNG with a tRNS colour",
                            TruePng(opaque, 2, 8, false, {200, 40, 40}), rgbClear));
    cases.back().depths = {"", "-c8", "-c16"};  // 19 opaque colours

    // Damage found while the pixels are decoded, as the file is converted: the end missing, and
    // the header of a picture twice as tall over the compressed rows of this one.
    const Bytes rgb = TruePng(opaque, 2, 8);
    Bytes tall = rgb;
    const Bytes header = BuildPng({kWidth, 2 * kHeight, 2, 8, false, {}, {}, Bytes(6 * kPixels)});
    std::copy(header.begin() + 8, header.begin() + 33, tall.begin() + 8);  // IHDR, its CRC too
    cases.push_back(
        Refused("PNG cut short", Bytes(rgb.begin(), rgb.end() - 20), "", "is truncated."));
    cases.push_back(
        Refused("PNG with too little image data", tall, "-c8", "is a damaged PNG file."));

    std::vector<Rgba> partly = sprite, passes = sprite;
    partly[3 * kWidth + 5].a = 128;
    partly[6 * kWidth + 2].a = 1;
    passes[8].a = passes[7].a = 7;  // Adam7 decodes (8,0) before (7,0)
    cases.push_back(
        Refused("RGBA PNG, partly transparent", TruePng(partly, 6, 8), "", Partly(5, 3)));
    cases.push_back(Refused("interlaced RGBA PNG, partly transparent", TruePng(passes, 6, 8, true),
                            "-c8", Partly(7, 0)));
    cases.push_back(Refused("indexed PNG, a partly transparent entry",
                            IndexedPng(8, six, used, {255, 0, 80}), "-c16", Partly(2, 0)));
    cases.push_back(Refused("RGBA PNG, 16 opaque colours for Index16",
                            TruePng(Sprite(16, true), 6, 8), "-c4",
                            "uses 16 opaque colours besides its transparent pixels; "
                            "Index16 has room for 15."));
}
#endif

std::vector<Case> Cases() {
    const std::vector<Rgba> opaque = Sprite(20, false);
    const std::vector<Rgba> sprite = Sprite(8, true);
    const std::string badMasks =
        "has bit-field masks that are empty, overlap or are not contiguous.";
    std::vector<Rgba> partly = sprite, unfilled = sprite;
    partly[2 * kWidth + 9].a = 0x80;
    for (Rgba& p : unfilled) {
        p.a = 0;
    }
    return {
        // One of each kind; BMP Suite has the others.
        Same("4-bit BMP, top-down", PackedBmp(Palette(16), Indices(16), 4),
             Bmp8(Palette(16), Indices(16))),
        Same("16-bit BMP, 3-6-7 in a 52-byte header",
             FieldsBmp(opaque, 16, 52, {0xE000, 0x1F80, 0x7F, 0}), Bmp24(Stored(opaque, 3, 6, 7))),
        Same("32-bit BMP, 10-bit fields in a 108-byte header",
             FieldsBmp(opaque, 32, 108, {0x3FF00000, 0xFFC00, 0x3FF, 0}), Bmp24(opaque)),
        Refused("BMP, an empty mask", FieldsBmp(opaque, 16, 40, {0x7C00, 0, 0x1F, 0}), "",
                badMasks),
        Refused("BMP, overlapping masks", FieldsBmp(opaque, 32, 56, {0xFF0000, 0x1FF00, 0xFF, 0}),
                "", badMasks),
        Refused("BMP, a mask with a gap", FieldsBmp(opaque, 32, 108, {0xFF0000, 0xFF00, 0xF7, 0}),
                "", badMasks),
        // A BMP's alpha mask: alpha 0 is transparent, as a PNG's, unless every pixel's is 0.
        Painted("32-bit BMP with alpha", FieldsBmp(sprite, 32, 108, kArgb), sprite),
        Painted("16-bit BMP with 1-bit alpha",
                FieldsBmp(sprite, 16, 56, {0x7C00, 0x3E0, 0x1F, 0x8000}), Stored(sprite, 5, 5, 5)),
        Same("32-bit BMP, alpha 0 everywhere", FieldsBmp(unfilled, 32, 108, kArgb),
             Bmp24(Sprite(8, false))),
        Refused("32-bit BMP, partly transparent", FieldsBmp(partly, 32, 56, kArgb), "-c4",
                Partly(9, 2)),
    };
}

RunResult RunOn(const TempDir& dir, const Bytes& file, std::vector<std::string> args) {
    WriteFile(dir / "in.pic", file);
    args.push_back("in.pic");
    return RunTool(args, dir.path);
}

TEST(PictureFormats, ConvertAsTheirBmpEquivalents) {
    std::vector<Case> cases = Cases();
#ifdef BMP2TVX_READS_PNG
    AddPngCases(cases);
#else
    SkipCase("PNG files", "this build reads no PNG files (libpng was not found when configuring)");
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.subject.empty());
        int converted = 0;
        for (const std::string& depth : c.depths) {
            SCOPED_TRACE(depth);
            std::vector<std::string> flags = c.flags;
            if (!depth.empty()) {
                flags.push_back(depth);
            }
            TempDir dir, other;
            const RunResult r = RunOn(dir, c.subject, flags);
            if (c.equivalent.empty()) {
                EXPECT_EQ(r.status, 1);
                EXPECT_EQ(r.out, "");
                EXPECT_EQ(r.err, "in.pic " + c.refusal + "\n");
                EXPECT_EQ(ListDir(dir.path), std::vector<std::string>{"in.pic"});
                continue;
            }
            flags.insert(flags.end(), c.extra.begin(), c.extra.end());
            const RunResult e = RunOn(other, c.equivalent, flags);
            EXPECT_EQ(r.status, e.status);
            EXPECT_EQ(r.out, e.out);
            EXPECT_EQ(r.err, e.err);
            EXPECT_EQ(ListDir(dir.path), ListDir(other.path));
            EXPECT_EQ(ReadFile(dir / "in.tvx"), ReadFile(other / "in.tvx"));
            converted += r.status == 0;
        }
        EXPECT_TRUE(c.equivalent.empty() || converted > 0);
    }
}

}  // namespace
}  // namespace bmp2tvx::test
