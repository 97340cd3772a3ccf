// tvx.h, the header GBA programs load tile image files with, compiled as C++ here and as C99 in
// tvx_h_c.c: it must accept exactly the files tvx2png's reader accepts, find the same palette and
// pixels, and copy exactly the bytes asked for.
#include "tvx.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "map_file.h"
#include "test_support.h"
#include "tile_reader.h"
#include "tvx_h_c.h"

namespace bmp2tvx::test {
namespace {

tvx_c_answers DescribeAsCxx(const void* file, std::uint32_t size) {
    tvx_c_answers answers{};
    answers.valid = tvx_valid(file, size);
    if (answers.valid) {
        answers.format = tvx_format(file);
        answers.width = tvx_width(file);
        answers.height = tvx_height(file);
        answers.palette = tvx_palette(file);
        answers.palette_size = tvx_palette_size(file);
        answers.pixels = tvx_pixels(file);
        answers.pixels_size = tvx_pixels_size(file);
        answers.tile_bytes = tvx_tile_bytes(file);
    }
    return answers;
}

// Whether the reader accepts `file`; checks that both builds of tvx.h agree with it and, for an
// accepted file, find the palette and pixels where the reader does.
bool ExpectAgreement(const Bytes& file, const std::string& what) {
    SCOPED_TRACE(what);
    TileImageView view;
    const bool parsed = ParseTileImage("t.tvx", file, view);
    const auto size = static_cast<std::uint32_t>(file.size());
    const tvx_c_answers cxx = DescribeAsCxx(file.data(), size);
    tvx_c_answers c{};
    tvx_c_describe(file.data(), size, &c);
    EXPECT_EQ(cxx.valid, parsed ? 1 : 0);
    EXPECT_EQ(c.valid, parsed ? 1 : 0);
    if (!parsed || !cxx.valid || !c.valid) {
        return parsed;
    }
    for (const tvx_c_answers& a : {cxx, c}) {
        EXPECT_EQ(a.format, static_cast<std::uint32_t>(view.format));
        EXPECT_EQ(a.width, view.tilesAcross * 8);
        EXPECT_EQ(a.height, view.tilesDown * 8);
        EXPECT_EQ(a.palette, view.palette.empty() ? nullptr : view.palette.data());
        EXPECT_EQ(a.palette_size, view.palette.size());
        EXPECT_EQ(a.pixels, view.body.data());
        EXPECT_EQ(a.pixels_size, view.body.size());
    }
    return parsed;
}

void PutWord(Bytes& file, std::size_t word, std::uint16_t value) {
    file[2 * word] = static_cast<std::uint8_t>(value & 0xFF);
    file[2 * word + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::uint16_t Word(const Bytes& file, std::size_t word) {
    return static_cast<std::uint16_t>(file[2 * word] | (file[2 * word + 1] << 8));
}

// A file of the given header, its body as long as the header announces (filled with a pattern).
Bytes MakeFile(std::uint16_t format, std::uint16_t across, std::uint16_t down) {
    const std::uint64_t tiles = std::uint64_t{across} * down;
    const std::uint64_t length = format == 0   ? 8 + 32 + 32 * tiles
                                 : format == 1 ? 8 + 512 + 64 * tiles
                                               : 8 + 128 * tiles;
    Bytes file(length);
    for (std::size_t i = 8; i < file.size(); ++i) {
        file[i] = static_cast<std::uint8_t>(i * 13 + 5);
    }
    PutWord(file, 0, format);
    PutWord(file, 1, across);
    PutWord(file, 2, down);
    PutWord(file, 3, static_cast<std::uint16_t>(tiles));
    return file;
}

// Tile image files as the converter writes them: every converted file of the BMP Suite, a range of
// pictures in every layout, and the wrapping headers of very large pictures.
std::vector<std::pair<std::string, Bytes>> MadeFiles() {
    std::vector<std::pair<std::string, Bytes>> files;
    const std::string expected = std::string(BMP2TVX_TEST_DATA) + "/bmpsuite/expected/";
    for (const std::string& name : ListDir(expected)) {
        files.emplace_back(name, ReadFile(expected + name));
    }
    const struct {
        std::int32_t width, height;
        std::uint16_t bits;
    } pictures[] = {{8, 8, 8}, {16, 8, 8}, {8, 24, 8}, {64, 32, 8}, {40, 16, 24}};
    for (const auto& p : pictures) {
        BmpSpec spec;
        spec.width = p.width;
        spec.height = p.height;
        spec.bitCount = p.bits;
        for (std::size_t i = 0; p.bits == 8 && i < 16; ++i) {
            spec.table.push_back({static_cast<std::uint8_t>(i * 16), 0x40, 0x80});
        }
        for (std::int32_t i = 0; i < p.width * p.height * (p.bits / 8); ++i) {
            spec.pixels.push_back(static_cast<std::uint8_t>(p.bits == 8 ? i * 7 % 16 : i / 3 % 5));
        }
        for (const char* flag : {"-c4", "-c8", "-c16"}) {
            const std::string name = std::to_string(p.width) + "x" + std::to_string(p.height) +
                                     " " + std::to_string(p.bits) + "-bit " + flag;
            files.emplace_back(name, ConvertInMemory(BuildBmp(spec), {flag}));
            EXPECT_FALSE(files.back().second.empty()) << name;
        }
    }
    files.emplace_back("no tiles", MakeFile(0, 0, 7));
    files.emplace_back("65536 tiles, a tile count of 0", MakeFile(0, 256, 256));
    files.emplace_back("90000 tiles, a tile count of 24464", MakeFile(0, 300, 300));
    return files;
}

// Every way a file is damaged: its length and each header word changed, and headers rewritten
// to another consistent picture (which both must accept). Each goes to `check` in turn.
void ForEachMutation(const Bytes& file,
                     const std::function<void(const std::string&, const Bytes&)>& check) {
    for (const long delta : {-128L, -64L, -32L, -2L, -1L, 1L, 2L, 32L, 64L, 128L}) {
        if (static_cast<long>(file.size()) + delta >= 0) {
            Bytes changed = file;
            changed.resize(static_cast<std::size_t>(static_cast<long>(file.size()) + delta), 0);
            check("length " + std::to_string(delta), changed);
        }
    }
    for (const std::size_t cut : {0, 1, 7, 8}) {
        check("cut to " + std::to_string(cut),
              Bytes(file.begin(), file.begin() + std::min(cut, file.size())));
    }
    for (std::size_t word = 0; word < 4; ++word) {
        const std::uint16_t old = Word(file, word);
        for (const std::uint16_t value :
             {std::uint16_t(old + 1), std::uint16_t(old - 1), std::uint16_t(old ^ 0x8000),
              std::uint16_t(0), std::uint16_t(1), std::uint16_t(2), std::uint16_t(3),
              std::uint16_t(0xFFFF)}) {
            if (value == old) {
                continue;
            }
            Bytes changed = file;
            PutWord(changed, word, value);
            check("word " + std::to_string(word) + " = " + std::to_string(value), changed);
        }
    }
    // The same tiles read as another layout, with the length that layout needs.
    for (std::uint16_t format = 0; format < 3; ++format) {
        Bytes changed = MakeFile(format, Word(file, 1), Word(file, 2));
        std::copy_n(file.begin() + 8, std::min(file.size(), changed.size()) - 8,
                    changed.begin() + 8);
        check("as format " + std::to_string(format), changed);
    }
    Bytes swapped = file;
    PutWord(swapped, 1, Word(file, 2));
    PutWord(swapped, 2, Word(file, 1));
    check("width and height swapped", swapped);
}

TEST(TvxHeader, AcceptsExactlyWhatTheReaderAccepts) {
    int accepted = 0;
    int refused = 0;
    for (const auto& made : MadeFiles()) {
        const std::string& name = made.first;
        const Bytes& file = made.second;
        ASSERT_GE(file.size(), 8u) << name;
        EXPECT_TRUE(ExpectAgreement(file, name)) << name << " is a good file";
        ForEachMutation(file, [&](const std::string& how, const Bytes& changed) {
            (ExpectAgreement(changed, name + ", " + how) ? accepted : refused)++;
        });
    }
    // Both answers occur often among the damaged files, so the agreement means something.
    EXPECT_GT(accepted, 50);
    EXPECT_GT(refused, 500);
}

// The tile count word is part of what the header announces: a file of the right length whose
// count disagrees with width x height is damaged, and both refuse it.
TEST(TvxHeader, RefusesAWrongTileCountAsTheReaderDoes) {
    for (std::uint16_t format = 0; format < 3; ++format) {
        Bytes file = MakeFile(format, 3, 2);
        ASSERT_TRUE(ExpectAgreement(file, "good"));
        PutWord(file, 3, 5);
        EXPECT_FALSE(ExpectAgreement(file, "count 5 for 3 x 2 tiles"));
        EXPECT_EQ(tvx_valid(file.data(), static_cast<std::uint32_t>(file.size())), 0);
    }
}

// Lengths worked out in 32 bits wrap for the largest headers; a size equal to the wrapped length
// must still be refused. Only the header is read, so a short buffer stands for the whole file.
TEST(TvxHeader, LargestHeadersDoNotWrap) {
    const std::uint64_t tiles = 65535ull * 65535ull;
    const struct {
        std::uint16_t format;
        std::uint64_t fixed;
        unsigned shift;
    } layouts[] = {{0, 40, 5}, {1, 520, 6}, {2, 8, 7}};
    for (const auto& l : layouts) {
        Bytes header(8);
        PutWord(header, 0, l.format);
        PutWord(header, 1, 0xFFFF);
        PutWord(header, 2, 0xFFFF);
        PutWord(header, 3, static_cast<std::uint16_t>(tiles));
        const std::uint64_t length = l.fixed + (tiles << l.shift);
        ASSERT_GT(length, 0xFFFFFFFFull);
        for (const std::uint64_t size : {length & 0xFFFFFFFF, std::uint64_t{0xFFFFFFFF}}) {
            EXPECT_EQ(tvx_valid(header.data(), static_cast<std::uint32_t>(size)), 0)
                << "format " << l.format << ", size " << size;
        }
    }
}

// Hand-worked offsets and sizes of one 16 x 8 picture in each layout, from both builds; a copy
// of the same file at an odd address is refused by both.
TEST(TvxHeader, AccessorsFindEachBlock) {
    const struct {
        std::uint16_t format;
        std::size_t length, paletteSize, pixelsOffset, pixelsSize, tileBytes;
    } layouts[] = {
        {TVX_INDEX16, 104, 32, 40, 64, 32},
        {TVX_INDEX256, 648, 512, 520, 128, 64},
        {TVX_FULLCOLOR16, 264, 0, 8, 256, 0},
    };
    for (const auto& l : layouts) {
        SCOPED_TRACE(l.format);
        const Bytes file = MakeFile(l.format, 2, 1);
        ASSERT_EQ(file.size(), l.length);
        tvx_c_answers c{};
        tvx_c_describe(file.data(), static_cast<std::uint32_t>(file.size()), &c);
        for (const tvx_c_answers& a : {DescribeAsCxx(file.data(), file.size()), c}) {
            EXPECT_EQ(a.valid, 1);
            EXPECT_EQ(a.format, l.format);
            EXPECT_EQ(a.width, 16u);
            EXPECT_EQ(a.height, 8u);
            EXPECT_EQ(a.palette, l.paletteSize ? file.data() + 8 : nullptr);
            EXPECT_EQ(a.palette_size, l.paletteSize);
            EXPECT_EQ(a.pixels, file.data() + l.pixelsOffset);
            EXPECT_EQ(a.pixels_size, l.pixelsSize);
            EXPECT_EQ(a.tile_bytes, l.tileBytes);
        }
        std::vector<std::uint32_t> words(l.length / 4 + 1);
        auto* odd = reinterpret_cast<std::uint8_t*>(words.data()) + 1;
        std::copy(file.begin(), file.end(), odd);
        const auto size = static_cast<std::uint32_t>(file.size());
        EXPECT_EQ(tvx_valid(odd, size), 0);
        tvx_c_describe(odd, size, &c);
        EXPECT_EQ(c.valid, 0);
    }
}

// Every combination of destination and source alignment with short, odd and longer sizes: the
// bytes asked for arrive, and not one byte around them changes (an odd end is written back with
// its neighbour as it was).
TEST(TvxHeader, CopyMovesExactlyTheBytesAskedFor) {
    std::vector<std::uint32_t> sizes;
    for (std::uint32_t size = 0; size <= 19; ++size) {
        sizes.push_back(size);
    }
    sizes.insert(sizes.end(), {64, 65, 66, 67, 510, 512});
    Bytes source(600);
    for (std::size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<std::uint8_t>(i * 29 + 1);
    }
    for (const bool asC : {false, true}) {
        for (std::size_t to = 0; to < 4; ++to) {
            for (std::size_t from = 0; from < 4; ++from) {
                for (const std::uint32_t size : sizes) {
                    // Word storage, so offset 0 is 4-byte aligned.
                    std::vector<std::uint32_t> words(160, 0xEEEEEEEE);
                    auto* memory = reinterpret_cast<std::uint8_t*>(words.data());
                    Bytes expected(memory, memory + 640);
                    std::copy_n(source.begin() + from, size, expected.begin() + 4 + to);
                    (asC ? tvx_c_copy : tvx_copy)(memory + 4 + to, source.data() + from, size);
                    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), memory))
                        << (asC ? "C" : "C++") << ": to +" << to << ", from +" << from << ", size "
                        << size;
                }
            }
        }
    }
}

// Sheets of w x h tiles a frame converted with --frame: both builds find frame k k frames of
// w x h tiles into the tiles the reader finds, and none past the last; for another width, a
// height of no whole tiles, one that does not divide the sheet's or one taller than it, none.
TEST(TvxHeader, FramesFollowOneAnother) {
    const std::array<std::uint32_t, 5> sheets[] = {
        {16, 4, 4, 4, 32}, {4, 2, 1, 1, 64}, {6, 4, 2, 2, 32}, {3, 6, 3, 1, 64}};
    for (const auto& [across, down, w, h, tile] : sheets) {
        BmpSpec picture;
        picture.width = static_cast<std::int32_t>(8 * across);
        picture.height = static_cast<std::int32_t>(8 * down);
        const std::uint32_t W = 8 * w, H = 8 * h, count = across / w * (down / h);
        const std::string frame = "--frame=" + std::to_string(W) + "x" + std::to_string(H);
        const Bytes sheet = ConvertInMemory(BuildBmp(picture), {tile == 32 ? "-c4" : "-c8", frame});
        TileImageView view;
        ASSERT_TRUE(ParseTileImage("sheet.tvx", sheet, view));
        EXPECT_EQ(tvx_frame_count(sheet.data(), W, H), count) << frame;
        EXPECT_EQ(tvx_frame_size(sheet.data(), W, H), w * h * tile) << frame;
        for (std::uint32_t k = 0; k <= count; ++k) {
            const void* at = k < count ? view.body.data() + k * w * h * tile : nullptr;
            EXPECT_EQ(tvx_frame(sheet.data(), W, H, k), at) << frame << ", frame " << k;
            EXPECT_EQ(tvx_c_frame(sheet.data(), W, H, k), at) << frame << ", frame " << k;
        }
        const std::uint32_t misfits[][2] = {
            {W + 8, H}, {W, H + 4}, {W, H * count - 8}, {W, H * count + 8}};
        for (const auto& [fw, fh] : misfits) {
            EXPECT_EQ(tvx_frame_count(sheet.data(), fw, fh), 0u) << fw << " x " << fh;
        }
    }
}

// The map file bmp2tvx writes for a background of `across` x `down` cells, converted with
// --key=none and `flags`: cell i shows tile(i) in the nibbles of its top row, in group i % 2 of
// 16 colours (`groups`), or 0; no two tiles alike, mirrored or not, but those of one number.
Bytes MapOf(int across, int down, int (*tile)(int), int groups, std::vector<std::string> flags) {
    BmpSpec picture;
    picture.width = 8 * across;
    picture.height = 8 * down;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const int i = x / 8 + y / 8 * across;
            const int nibble = y % 8 == 0 && x % 8 < 3 ? tile(i) >> 4 * (x % 8) & 15 : 0;
            picture.pixels.push_back(static_cast<std::uint8_t>(16 * (i % groups) + nibble));
        }
    }
    TempDir dir;
    WriteFile(dir / "bg.bmp", BuildBmp(picture));
    flags.insert(flags.end(), {"--key=none", "bg.bmp"});
    EXPECT_EQ(RunTool(flags, dir.path).status, 0);
    return ReadFile(dir / "bg.tvm");
}

// A regular map of 72 x 40 entries of 1,000 tiles in two banks from bank 2, and an affine one of
// 40 x 24 entries of 256 tiles.
const Bytes& Map(bool affine) {
    static const Bytes maps[] = {MapOf(72, 40, [](int i) { return i % 1000; }, 2,
                                       {"-c4", "--map", "--tile-base=20", "--bank-base=2"}),
                                 MapOf(40, 24, [](int i) { return (i * 7 + i / 40 * 13) % 256; }, 1,
                                       {"-c8", "--map=affine"})};
    return maps[affine];
}

// Both builds take the maps the tools' reader takes (those bmp2tvx wrote, damaged or at an odd
// address), and place each entry of a window, in backgrounds of each size, where the display reads
// its tile column and row modulo the background's, and nothing else; banks go where they fit.
TEST(TvxHeader, MapsAreReadAndPlacedAsTheDisplayReadsThem) {
    for (const bool affine : {false, true}) {
        const Bytes& map = Map(affine);
        ForEachMutation(map, [](const std::string& how, const Bytes& changed) {
            MapView view;
            const int read = ReadMapView(changed, view) ? 1 : 0;
            const auto size = static_cast<std::uint32_t>(changed.size());
            EXPECT_EQ(tvx_map_valid(changed.data(), size), read) << how;
            EXPECT_EQ(tvx_c_map_valid(changed.data(), size), read) << how;
        });
        Bytes shifted(1);  // from an odd address: allocations are aligned
        shifted.insert(shifted.end(), map.begin(), map.end());
        EXPECT_EQ(tvx_map_valid(shifted.data() + 1, static_cast<std::uint32_t>(map.size())), 0);
    }
    // Affine or not, size, and the window: x, y, w, h.
    const std::array<unsigned, 6> windows[] = {
        {0, 3, 0, 0, 64, 64}, {0, 0, 5, 3, 32, 32}, {0, 1, 40, 9, 64, 31}, {0, 2, 31, 30, 3, 32},
        {0, 3, 71, 39, 8, 8}, {0, 0, 72, 0, 4, 4},  {1, 0, 3, 5, 16, 16},  {1, 1, 0, 0, 32, 32},
        {1, 2, 1, 1, 39, 23}, {1, 3, 7, 2, 33, 5}};
    // A regular background's screen block for each quarter of 256 x 256: below, right, by size.
    const unsigned blocks[4][2][2] = {
        {{0, 0}, {0, 0}}, {{0, 1}, {0, 0}}, {{0, 0}, {1, 0}}, {{0, 1}, {2, 3}}};
    for (const auto& [affine, size, x0, y0, w, h] : windows) {
        const Bytes& map = Map(affine);
        MapView view;
        ASSERT_TRUE(ReadMapView(map, view));
        ASSERT_EQ(tvx_map_valid(map.data(), static_cast<std::uint32_t>(map.size())), 1);
        const unsigned across = affine ? 16u << size : 32u << (size & 1);
        const unsigned down = affine ? across : 32u << (size >> 1);
        for (auto* copy : {&tvx_map_copy, &tvx_c_map_copy}) {
            std::vector<std::uint32_t> words(0x5000 / 4, 0xEEEEEEEE);
            auto* memory = reinterpret_cast<std::uint8_t*>(words.data());
            Bytes expected(memory, memory + 0x5000);
            for (unsigned y = y0; y < std::min(y0 + h, view.tilesDown); ++y) {
                for (unsigned x = x0; x < std::min(x0 + w, view.tilesAcross); ++x) {
                    // The display reads an affine entry a byte, a regular one 2 in its block.
                    const unsigned c = x % across, r = y % down;
                    const std::size_t at = 0x800 + (affine ? r * across + c
                                                           : 0x800 * blocks[size][r / 32][c / 32] +
                                                                 2 * (r % 32 * 32 + c % 32));
                    const std::uint16_t entry = MapEntry(view, y * view.tilesAcross + x);
                    EXPECT_EQ(tvx_map_entry(map.data(), x, y), entry);
                    expected[at] = static_cast<std::uint8_t>(entry);
                    expected[at + !affine] = static_cast<std::uint8_t>(affine ? entry : entry >> 8);
                }
            }
            copy(memory + 0x800, size, map.data(), x0, y0, w, h);
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), memory))
                << (affine ? "affine" : "regular") << " size " << size << ", " << w << " x " << h
                << " from " << x0 << ", " << y0 << (copy == &tvx_map_copy ? "" : ", C");
        }
    }
    for (const std::uint32_t base : {0u, 15u, 16u}) {
        std::vector<std::uint16_t> palette(16 * 18, 0xEEEE), expected = palette;  // and past it
        std::memcpy(expected.data() + 16 * base, Map(false).data() + 8,
                    32 * std::min(2u, 16 - std::min(base, 16u)));
        tvx_map_copy_banks(palette.data(), Map(false).data(), base);
        EXPECT_EQ(palette, expected) << "banks from " << base;
    }
}

}  // namespace
}  // namespace bmp2tvx::test
