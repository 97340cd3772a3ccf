// The inner loops on their own, over pictures held in memory of 240 x 160 (a screen), 1024 x 1024
// and 4096 x 4096 pixels, in bytes of source pixels per second: a regression in one stage shows
// here even when file I/O hides it. Each fast path has a case beside the plain way it replaces,
// at every size, to show what it saves there: the renumbering that only exchanges two entries,
// the run matcher of the key search, the two-level colour table of the numbering, the AVX2
// colour loop; and the system's own (huge pages, exchanging names).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "color_plan.h"
#include "pixels.h"
#include "tile_encoder.h"

namespace bmp2tvx {
namespace {

// A picture of `state`'s size, in memory, whose every pixel is one of `values` in no order at all:
// index pixels, or greys of blue, green and red bytes.
SourceImage MakePicture(const benchmark::State& state, bool trueColor, std::uint8_t values) {
    Picture picture{static_cast<std::int32_t>(state.range(0)),
                    static_cast<std::int32_t>(state.range(1)), IndexedPicture{}, "bench"};
    if (trueColor) {
        picture.colors = TrueColorPicture{};
    }
    const std::size_t bytesPerPixel = BytesPerPixel(picture);
    Storage pixels = AllocateStorage(PixelCount(picture) * bytesPerPixel);
    std::uint32_t seed = 12345;
    for (std::uint64_t i = 0; i < PixelCount(picture); ++i) {
        seed = seed * 1103515245u + 12345u;
        std::fill_n(pixels.get() + i * bytesPerPixel, bytesPerPixel,
                    static_cast<std::uint8_t>((seed >> 16) % values));
    }
    return SourceImage{picture, RowSource{RowsInMemory{std::move(pixels)}, false}};
}

void Processed(benchmark::State& state, const SourceImage& image) {
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations()) *
        static_cast<std::int64_t>(PixelCount(image.picture) * BytesPerPixel(image.picture)));
}

void Encode(benchmark::State& state, SourceImage& image, const PixelCoding& coding) {
    std::vector<std::uint8_t> scratch(256 * 1024);
    const TileLayout layout = RowOrder(image.picture.width, image.picture.height);
    for (auto _ : state) {
        EmitTileImage(coding, layout, image, scratch, [](std::span<const std::uint8_t> bytes) {
            benchmark::DoNotOptimize(bytes.data());
        });
    }
    Processed(state, image);
}

void BM_Index256(benchmark::State& state) {
    SourceImage image = MakePicture(state, false, 255);
    Encode(state, image, PixelCoding{TargetFormat::Index256});
}
void BM_Index16(benchmark::State& state) {
    SourceImage image = MakePicture(state, false, 16);
    Encode(state, image, PixelCoding{TargetFormat::Index16});
}
void BM_FullColor16(benchmark::State& state) {
    SourceImage image = MakePicture(state, true, 255);
    Encode(state, image, PixelCoding{TargetFormat::FullColor16});
}
void BM_FullColor16FromIndex(benchmark::State& state) {
    SourceImage image = MakePicture(state, false, 255);
    Encode(state, image, PixelCoding{TargetFormat::FullColor16});
}

// Index pixels written as others, as after a move of the key colour: an exchange of two entries
// (argument 1), or the same with one more entry changed, which no pixel uses, so that every
// pixel is looked up (0).
void BM_Index256Renumbered(benchmark::State& state) {
    SourceImage image = MakePicture(state, false, 255);
    PixelCoding coding{TargetFormat::Index256};
    std::swap(coding.map[0], coding.map[200]);
    if (state.range(2) == 0) {
        coding.map[255] = 254;
    }
    Encode(state, image, coding);
}

// A picture of 16 colours whose table holds black at entry 5 and, unused, at every entry from 16
// up, as writers that pad a short palette leave it: the key search tests every pixel, with the
// run matcher (argument 1), or (0) each pixel looked up in a table of the entries sought, as
// happens when the unused copies are scattered (here with gaps at 100 and 150).
void BM_KeySearchPadded(benchmark::State& state) {
    SourceImage image = MakePicture(state, false, 16);
    IndexedPicture& indexed = std::get<IndexedPicture>(image.picture.colors);
    indexed.supplied = 256;
    for (std::size_t i = 0; i < 256; ++i) {
        const bool gap = state.range(2) == 0 && (i == 100 || i == 150);
        indexed.table[i] =
            (i == 5 || i >= 16) && !gap ? ColorEntry{} : ColorEntry{9, 9, std::uint8_t(i)};
    }
    const ColorRequest request{-1, MakeKey(0, 0, 0, false), nullptr};
    for (auto _ : state) {
        benchmark::DoNotOptimize(PlanColors(image, request));
    }
    Processed(state, image);
}

// A 24-bit picture of 255 colours in no order at all (no two neighbours share a colour) numbered
// into a palette: by the plan (argument 1), or each pixel's colour looked up in a hash table (0).
void BM_NumberColors(benchmark::State& state) {
    SourceImage image = MakePicture(state, true, 255);
    const std::size_t pixels = PixelCount(image.picture);
    const std::uint8_t* bgr = std::get<RowsInMemory>(image.rows.place).bytes.get();
    std::vector<std::uint8_t> indices(pixels);
    for (auto _ : state) {
        if (state.range(2) != 0) {
            benchmark::DoNotOptimize(PlanColors(image, ColorRequest{8, {}, nullptr}));
            continue;
        }
        std::unordered_map<std::uint32_t, std::uint8_t> entries;
        for (std::size_t i = 0; i < pixels; ++i) {
            const std::uint32_t color = bgr[3 * i] | bgr[3 * i + 1] << 8 | bgr[3 * i + 2] << 16;
            indices[i] =
                entries.emplace(color, static_cast<std::uint8_t>(entries.size() + 1)).first->second;
        }
        benchmark::DoNotOptimize(indices.data());
    }
    Processed(state, image);
}

// The colour loop of FullColor16 over one picture's pixels, with AVX2 where the processor has it
// (argument 1) and without (0).
void BM_BgrToColor15(benchmark::State& state) {
    const SourceImage image = MakePicture(state, true, 255);
    const std::uint8_t* bgr = std::get<RowsInMemory>(image.rows.place).bytes.get();
    const std::size_t pixels = PixelCount(image.picture);
    std::vector<std::uint8_t> words(2 * pixels);
    for (auto _ : state) {
        if (state.range(2) != 0) {
            BgrToColor15(bgr, pixels, words.data());
        } else {
            BgrToColor15Plain(bgr, pixels, words.data());
        }
        benchmark::DoNotOptimize(words.data());
    }
    Processed(state, image);
}

// A fresh 16 MiB block filled once, as a large picture's buffer is in a new process: through
// AllocateStorage (argument 1: huge pages on Linux) or plain new (0). The C library is told to
// hand back fresh memory for every block, as it does at the start of a process.
void BM_FreshBlock(benchmark::State& state) {
    constexpr std::size_t kBytes = 16u << 20;
    for (auto _ : state) {
        if (state.range(0) != 0) {
            const Storage block = AllocateStorage(kBytes);
            std::memset(block.get(), 1, kBytes);
            benchmark::DoNotOptimize(block.get());
        } else {
            const std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[kBytes]);
            std::memset(block.get(), 1, kBytes);
            benchmark::DoNotOptimize(block.get());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}

// A 256 KiB output written over the previous one, as in a rebuild: through the tool's output file
// (argument 1: names exchanged on Linux) or written beside it and renamed over it (0).
void BM_ReplaceOutput(benchmark::State& state) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / "bmp2tvx-bench-replace";
    std::filesystem::create_directories(dir);
    const std::string target = (dir / "picture.tvx").string();
    const std::string temp = (dir / "picture.tmp").string();
    const std::vector<std::uint8_t> bytes(256 * 1024, 7);
    std::ofstream(target, std::ios::binary) << "old";
    for (auto _ : state) {
        if (state.range(0) != 0) {
            OutputFile output;
            OpenOutputFile(target, output);
            WriteOutputFile(output, bytes);
            CommitOutputFile(output);
        } else {
            std::ofstream(temp, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
            std::filesystem::rename(temp, target);
        }
    }
    std::filesystem::remove_all(dir);
}

// Every size, and for the fast paths both ways.
void Sizes(benchmark::internal::Benchmark* b) {
    for (const auto& [w, h] : {std::pair{240, 160}, std::pair{1024, 1024}, std::pair{4096, 4096}}) {
        b->Args({w, h});
    }
}
void BothWays(benchmark::internal::Benchmark* b) {
    for (const auto& [w, h] : {std::pair{240, 160}, std::pair{1024, 1024}, std::pair{4096, 4096}}) {
        b->Args({w, h, 1})->Args({w, h, 0});
    }
}

BENCHMARK(BM_Index256)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Index16)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullColor16)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullColor16FromIndex)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Index256Renumbered)->Apply(BothWays)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeySearchPadded)->Apply(BothWays)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NumberColors)->Apply(BothWays)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BgrToColor15)->Apply(BothWays)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FreshBlock)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceOutput)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace bmp2tvx

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // A fixed threshold: every large block is a fresh mapping, never memory freed a moment ago.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
