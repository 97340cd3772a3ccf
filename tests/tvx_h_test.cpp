// tvx.h, the header GBA programs load tile image files with, compiled as C++ here and as C99 in
// tvx_h_c.c: it must accept exactly the files and maps the tools' readers accept, find the same
// palette, pixels, frames and entries, and copy exactly the bytes asked for, where the display
// hardware reads them.
#include "tvx.h"

#include <algorithm>
#include <array>
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

// An 8-bit picture of `across` x `down` cells: cell i shows pattern p, mirrored as f says (bit 0
// left to right, bit 1 top to bottom), in group g of 16 colours, where {p, f, g} = cell(i). A
// pattern is a marker in its top left corner and p's ten bits after it, so no two are alike,
// mirrored or not.
Bytes Cells(int across, int down, const std::function<std::array<int, 3>(int)>& cell) {
    BmpSpec spec;
    spec.width = 8 * across;
    spec.height = 8 * down;
    for (int i = 0; i < 256; ++i) {
        spec.table.push_back({static_cast<std::uint8_t>(i), 0x40, 0x80});
    }
    for (int y = 0; y < spec.height; ++y) {
        for (int x = 0; x < spec.width; ++x) {
            const auto [p, f, g] = cell(x / 8 + y / 8 * across);
            const int bit = (f & 2 ? 7 - y % 8 : y % 8) * 8 + (f & 1 ? 7 - x % 8 : x % 8) - 1;
            spec.pixels.push_back(
                static_cast<std::uint8_t>(16 * g + (bit < 0    ? 15
                                                    : bit < 10 ? 1 + (p >> bit & 1)
                                                               : 3)));
        }
    }
    return BuildBmp(spec);
}

const void* FrameAsCxx(const void* file, std::uint32_t w, std::uint32_t h, std::uint32_t n,
                       std::uint32_t* size, std::uint32_t* count) {
    *size = tvx_frame_size(file, w, h);
    *count = tvx_frame_count(file, w, h);
    return tvx_frame(file, w, h, n);
}

// Sheets of cells w x h each converted with --frame: frame k, as both builds find it, holds the
// cells of the sheet's kth frame in reading order, as the sheet converted without --frame has
// them; past the last frame, for frame sizes that do not make the file, and in a FullColor16 file
// (no tiles) there is none.
TEST(TvxHeader, FramesAreTheSheetsCellsInReadingOrder) {
    const struct {
        int across, down, w, h;
        const char* depth;
    } sheets[] = {{16, 4, 4, 4, "-c4"},
                  {4, 2, 1, 1, "-c8"},
                  {6, 4, 2, 2, "-c4"},
                  {3, 6, 3, 1, "-c8"},
                  {2, 2, 2, 2, "-c4"}};
    for (const auto& s : sheets) {
        const Bytes bmp = Cells(s.across, s.down, [](int i) { return std::array{i, 0, 0}; });
        const auto width = static_cast<std::uint32_t>(8 * s.w), height = 8 * s.h * 1u;
        const Bytes sheet = ConvertInMemory(
            bmp, {s.depth, "--key=none",
                  "--frame=" + std::to_string(width) + "x" + std::to_string(height)});
        const Bytes plain = ConvertInMemory(bmp, {s.depth, "--key=none"});
        const Bytes bitmap = ConvertInMemory(bmp, {"-c16"});
        TileImageView whole;
        ASSERT_TRUE(ParseTileImage("plain.tvx", plain, whole));
        const std::uint32_t tile = s.depth == std::string("-c4") ? 32 : 64;
        const int perRow = s.across / s.w, count = perRow * (s.down / s.h), rows = s.h * count;
        int wrong = 2;  // a frame height in tiles that does not divide the sheet's
        while (wrong < rows && rows % wrong == 0) {
            ++wrong;
        }
        for (auto* frameOf : {&FrameAsCxx, &tvx_c_frame}) {
            SCOPED_TRACE(std::to_string(s.across) + " x " + std::to_string(s.down) + " cells, " +
                         (frameOf == &FrameAsCxx ? "C++" : "C"));
            std::uint32_t size = 0, n = 0;
            for (int k = 0; k <= count; ++k) {
                const auto* at = static_cast<const std::uint8_t*>(
                    frameOf(sheet.data(), width, height, static_cast<std::uint32_t>(k), &size, &n));
                EXPECT_EQ(n, static_cast<std::uint32_t>(count));
                EXPECT_EQ(size, static_cast<std::uint32_t>(s.w * s.h) * tile);
                if (k == count || at == nullptr) {
                    EXPECT_EQ(at, k == count ? nullptr : sheet.data()) << "frame " << k;
                    continue;
                }
                for (int t = 0; t < s.w * s.h; ++t) {
                    const int x = k % perRow * s.w + t % s.w, y = k / perRow * s.h + t / s.w;
                    EXPECT_TRUE(std::equal(at + t * tile, at + (t + 1) * tile,
                                           whole.body.data() + (y * s.across + x) * tile))
                        << "frame " << k << ", tile " << t;
                }
            }
            const std::pair<const Bytes*, std::array<std::uint32_t, 2>> misfits[] = {
                {&sheet, {width + 8, height}},
                {&sheet, {width, height + 4}},
                {&sheet, {width, 8u * static_cast<std::uint32_t>(rows + 1)}},
                {&sheet, {width, 8u * static_cast<std::uint32_t>(wrong)}},
                {&bitmap, {8u * static_cast<std::uint32_t>(s.across), 8u * s.down * 1u}}};
            for (const auto& [file, wh] : misfits) {
                if (wh[1] != 8u * static_cast<std::uint32_t>(rows) || file == &bitmap) {
                    EXPECT_EQ(frameOf(file->data(), wh[0], wh[1], 0, &size, &n), nullptr);
                    EXPECT_EQ(size + n, 0u) << wh[0] << " x " << wh[1];
                }
            }
        }
    }
}

// The map file bmp2tvx writes for a picture converted with `flags` and --key=none.
Bytes MapOf(const Bytes& bmp, std::vector<std::string> flags) {
    TempDir dir;
    WriteFile(dir / "bg.bmp", bmp);
    flags.insert(flags.end(), {"--key=none", "bg.bmp"});
    const RunResult run = RunTool(flags, dir.path);
    EXPECT_EQ(run.status, 0) << run.err;
    return ReadFile(dir / "bg.tvm");
}

// A regular map of 72 x 40 distinct entries: 720 tiles, each in four mirrorings, in three banks.
const Bytes& RegularMap() {
    static const Bytes map = MapOf(Cells(72, 40,
                                         [](int i) {
                                             return std::array{i % 720, i / 720 % 4, i % 3};
                                         }),
                                   {"-c4", "--map", "--tile-base=100", "--bank-base=2"});
    return map;
}

// An affine map of 40 x 24 entries of 256 tiles.
const Bytes& AffineMap() {
    static const Bytes map =
        MapOf(Cells(40, 24,
                    [](int i) {
                        return std::array{(i % 40 * 7 + i / 40 * 13) % 256, 0, 0};
                    }),
              {"-c8", "--map=affine"});
    return map;
}

void DescribeMapAsCxx(const void* map, std::uint32_t size, tvx_c_map_answers* out) {
    *out = {tvx_map_valid(map, size), 0, 0, 0, 0, 0, nullptr, nullptr};
    if (out->valid) {
        *out = {1,
                tvx_map_kind(map),
                tvx_map_width(map),
                tvx_map_height(map),
                tvx_map_bank_count(map),
                tvx_map_width(map) && tvx_map_height(map)
                    ? tvx_map_entry(map, tvx_map_width(map) - 1, tvx_map_height(map) - 1)
                    : 0,
                tvx_map_banks(map),
                tvx_map_entries(map)};
    }
}

// Whether the tools' reader takes `map` as a map file; checks that both builds of tvx.h agree
// with it, find its fields where it does, and refuse it at an odd address.
bool ExpectMapAgreement(const Bytes& map, const std::string& what) {
    SCOPED_TRACE(what);
    MapView view;
    const bool read = ReadMapView(map, view);
    const auto size = static_cast<std::uint32_t>(map.size());
    tvx_c_map_answers both[2];
    DescribeMapAsCxx(map.data(), size, &both[0]);
    tvx_c_map_describe(map.data(), size, &both[1]);
    for (const tvx_c_map_answers& a : both) {
        EXPECT_EQ(a.valid, read ? 1 : 0);
        if (read && a.valid) {
            const std::size_t entries = view.entries.size() / (a.kind == 1 ? 1 : 2);
            EXPECT_EQ(a.kind, view.kind == MapKind::Affine ? 1u : 0u);
            EXPECT_EQ(a.width, view.tilesAcross);
            EXPECT_EQ(a.height, view.tilesDown);
            EXPECT_EQ(32 * a.bank_count, view.banks.size());
            EXPECT_EQ(a.banks, view.banks.empty() ? nullptr : view.banks.data());
            EXPECT_EQ(a.entries, view.entries.data());
            EXPECT_EQ(a.last_entry, entries ? MapEntry(view, entries - 1) : 0u);
        }
    }
    std::vector<std::uint32_t> words(map.size() / 4 + 1);
    auto* odd = reinterpret_cast<std::uint8_t*>(words.data()) + 1;
    std::copy(map.begin(), map.end(), odd);
    EXPECT_EQ(tvx_map_valid(odd, size), 0);
    return read;
}

TEST(TvxHeader, AcceptsExactlyTheMapsTheReaderAccepts) {
    int accepted = 0;
    int refused = 0;
    const Bytes small = MapOf(Cells(3, 2, [](int i) { return std::array{i, 0, 0}; }), {"--map"});
    for (const Bytes* map : {&RegularMap(), &AffineMap(), &small}) {
        EXPECT_TRUE(ExpectMapAgreement(*map, "as bmp2tvx wrote it"));
        ForEachMutation(*map, [&](const std::string& how, const Bytes& changed) {
            (ExpectMapAgreement(changed, how) ? accepted : refused)++;
        });
    }
    // Each map with its width and height swapped is one too; most damaged ones are not.
    EXPECT_GE(accepted, 3);
    EXPECT_GT(refused, 100);
}

// Where the display reads the entry of a background's tile column x, row y, in bytes from its
// first screen block: a regular background takes one 2 KiB block of 32 x 32 entries for each
// 256 x 256 quarter, an affine one a byte an entry in rows as long as the background is wide.
std::size_t DisplayReads(bool affine, unsigned size, unsigned x, unsigned y) {
    // The block of the quarter below (first index) and to the right (second), by size.
    static const unsigned kBlock[4][2][2] = {
        {{0, 0}, {0, 0}}, {{0, 1}, {0, 0}}, {{0, 0}, {1, 0}}, {{0, 1}, {2, 3}}};
    return affine ? y * (16u << size) + x
                  : 0x800 * kBlock[size][y / 32][x / 32] + 2 * (y % 32 * 32 + x % 32);
}

// Windows of a regular and an affine map copied into backgrounds of each size, wrapping, odd,
// clipped at the map's edge or off it: each entry lands where the display reads its tile column
// and row (each modulo the background's), as the reader finds it, and no other byte changes.
TEST(TvxHeader, MapCopyPutsEntriesWhereTheDisplayReadsThem) {
    const struct {
        const Bytes& map;
        unsigned size, x, y, w, h;
    } windows[] = {
        {RegularMap(), 3, 0, 0, 64, 64},  {RegularMap(), 0, 5, 3, 32, 32},
        {RegularMap(), 1, 40, 9, 64, 31}, {RegularMap(), 2, 31, 30, 3, 32},
        {RegularMap(), 3, 71, 39, 8, 8},  {RegularMap(), 0, 72, 0, 4, 4},
        {AffineMap(), 0, 3, 5, 16, 16},   {AffineMap(), 1, 0, 0, 32, 32},
        {AffineMap(), 2, 1, 1, 39, 23},   {AffineMap(), 3, 7, 2, 33, 5},
    };
    using Copy = void (*)(volatile void*, std::uint32_t, const void*, std::uint32_t, std::uint32_t,
                          std::uint32_t, std::uint32_t);
    for (const auto& k : windows) {
        MapView view;
        ASSERT_TRUE(ReadMapView(k.map, view));
        const bool affine = view.kind == MapKind::Affine;
        const unsigned across = affine ? 16u << k.size : 32u << (k.size & 1);
        const unsigned down = affine ? across : 32u << (k.size >> 1);
        for (const Copy copy : {Copy{&tvx_map_copy}, Copy{&tvx_c_map_copy}}) {
            std::vector<std::uint32_t> words(0x5000 / 4, 0xEEEEEEEE);
            auto* memory = reinterpret_cast<std::uint8_t*>(words.data());
            Bytes expected(memory, memory + 0x5000);
            for (unsigned y = k.y; y < std::min(k.y + k.h, view.tilesDown); ++y) {
                for (unsigned x = k.x; x < std::min(k.x + k.w, view.tilesAcross); ++x) {
                    const std::size_t at =
                        0x800 + DisplayReads(affine, k.size, x % across, y % down);
                    const std::uint16_t entry = MapEntry(view, y * view.tilesAcross + x);
                    expected[at] = static_cast<std::uint8_t>(entry);
                    expected[at + !affine] = static_cast<std::uint8_t>(affine ? entry : entry >> 8);
                }
            }
            copy(memory + 0x800, k.size, k.map.data(), k.x, k.y, k.w, k.h);
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), memory))
                << (copy == &tvx_map_copy ? "C++" : "C") << (affine ? ", affine" : ", regular")
                << " size " << k.size << ", " << k.w << " x " << k.h << " from (" << k.x << ", "
                << k.y << ")";
        }
    }
}

// The regular map's three banks go to palette banks from the base given, as many as fit.
TEST(TvxHeader, MapBanksGoToTheirPaletteBanks) {
    MapView view;
    ASSERT_TRUE(ReadMapView(RegularMap(), view));
    ASSERT_EQ(view.banks.size(), 3u * 32);
    for (const std::uint32_t base : {0u, 2u, 14u, 16u}) {
        for (const bool asC : {false, true}) {
            std::vector<std::uint16_t> palette(16 * 18, 0xEEEE);  // and past its end
            std::vector<std::uint16_t> expected = palette;
            for (std::uint32_t i = 0; i < 48 && base * 16 + i < 256; ++i) {
                expected[base * 16 + i] = LoadLittle16(&view.banks[2 * i]);
            }
            (asC ? tvx_c_map_copy_banks : tvx_map_copy_banks)(palette.data(), RegularMap().data(),
                                                              base);
            EXPECT_EQ(palette, expected) << "from bank " << base << (asC ? ", C" : ", C++");
        }
    }
}

}  // namespace
}  // namespace bmp2tvx::test
