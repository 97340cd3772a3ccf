// The inner loops on their own, over a 4096 x 4096 picture held in memory, in bytes of source
// pixels per second: a regression in one encoder shows here even when file I/O hides it. Each
// fast path the tool takes on some systems only (huge pages, exchanging names, the AVX2 colour
// loop, the run matcher of the key search) has a case beside the plain way it replaces, to show
// what it saves.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <vector>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "color_table.h"
#include "key_color.h"
#include "pixels.h"
#include "tile_encoder.h"

namespace bmp2tvx {
namespace {

constexpr std::int32_t kSide = 4096;

SourceImage MakePicture(bool fullColor, std::uint8_t colours) {
    SourceImage image;
    image.width = kSide;
    image.height = kSide;
    image.kind = fullColor ? SourceKind::FullColor : SourceKind::Index;
    image.suppliedColors = 256;
    const std::uint64_t bytes = PixelCount(image) * (fullColor ? 3 : 1);
    Storage pixels = AllocateStorage(bytes);
    std::uint32_t seed = 12345;
    for (std::uint64_t i = 0; i < bytes; ++i) {
        seed = seed * 1103515245u + 12345u;
        pixels[i] = static_cast<std::uint8_t>((seed >> 16) % colours);
    }
    image.pixels = PixelSource{PixelsInMemory{std::move(pixels)}, false, IdentityMap(), "bench"};
    return image;
}

void Encode(benchmark::State& state, bool fullColor, std::uint8_t colours, TargetFormat format) {
    const SourceImage image = MakePicture(fullColor, colours);
    std::array<std::uint8_t, 256 * 1024> scratch;
    for (auto _ : state) {
        EmitTileImage(image, format, scratch, [](std::span<const std::uint8_t> bytes) {
            benchmark::DoNotOptimize(bytes.data());
        });
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(PixelCount(image) * (fullColor ? 3 : 1)));
}

void BM_Index256(benchmark::State& state) {
    Encode(state, false, 255, TargetFormat::Index256);
}
void BM_Index16(benchmark::State& state) {
    Encode(state, false, 16, TargetFormat::Index16);
}
void BM_FullColor16(benchmark::State& state) {
    Encode(state, true, 255, TargetFormat::FullColor16);
}
void BM_FullColor16FromIndex(benchmark::State& state) {
    Encode(state, false, 255, TargetFormat::FullColor16);
}

// Index pixels renumbered as they are read, as after a move of the key colour.
void BM_Index256Renumbered(benchmark::State& state) {
    SourceImage image = MakePicture(false, 255);
    IndexMap exchange = IdentityMap();
    std::swap(exchange[0], exchange[200]);
    Renumber(image, exchange);
    std::array<std::uint8_t, 256 * 1024> scratch;
    for (auto _ : state) {
        EmitTileImage(
            image, TargetFormat::Index256, scratch,
            [](std::span<const std::uint8_t> bytes) { benchmark::DoNotOptimize(bytes.data()); });
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * PixelCount(image)));
}

// A 24-bit picture of 255 colours in no order at all (the slowest case: no two neighbours share
// a colour) numbered into a colour table, in bytes of 24-bit pixels.
void BM_IndexFullColor(benchmark::State& state) {
    const SourceImage source = MakePicture(true, 255);
    for (auto _ : state) {
        state.PauseTiming();
        SourceImage image;
        image.width = source.width;
        image.height = source.height;
        image.kind = SourceKind::FullColor;
        // Every byte one of 255 values: the colours are few only on a greyscale ramp.
        Storage pixels = AllocateStorage(3 * PixelCount(source));
        const std::uint8_t* from = std::get<PixelsInMemory>(source.pixels.place).bytes.get();
        for (std::uint64_t i = 0; i < PixelCount(source); ++i) {
            pixels[3 * i] = pixels[3 * i + 1] = pixels[3 * i + 2] = from[3 * i];
        }
        image.pixels = PixelSource{PixelsInMemory{std::move(pixels)}, false, IdentityMap(), "b"};
        state.ResumeTiming();
        benchmark::DoNotOptimize(IndexFullColorPicture(image, 256, ColorEntry{}));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 3 * PixelCount(source)));
}

// A table padded with unused copies of the key colour, as many writers leave it: finding the copy
// that pixels use takes a whole pass over the picture.
void BM_ChooseKeyEntryPadded(benchmark::State& state) {
    SourceImage image = MakePicture(false, 16);
    for (std::size_t i = 0; i < 256; ++i) {
        image.colorTable[i] =
            i < 2 ? ColorEntry{9, 9, static_cast<std::uint8_t>(i)} : ColorEntry{0, 0, 0};
    }
    for (auto _ : state) {
        std::uint8_t entry = 0;
        benchmark::DoNotOptimize(ChooseKeyEntry(image, ColorEntry{}, 256, entry));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * PixelCount(image)));
}

// Copies scattered over the table, none used: the slowest shape the search has to test for.
void BM_ChooseKeyEntryScatteredUnused(benchmark::State& state) {
    SourceImage image = MakePicture(false, 16);
    for (std::size_t i = 0; i < 256; ++i) {
        image.colorTable[i] =
            i % 37 == 20 ? ColorEntry{0, 0, 0} : ColorEntry{9, 9, static_cast<std::uint8_t>(i)};
    }
    for (auto _ : state) {
        std::uint8_t entry = 0;
        benchmark::DoNotOptimize(ChooseKeyEntry(image, ColorEntry{}, 256, entry));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * PixelCount(image)));
}

void BM_ToColor15(benchmark::State& state) {
    std::array<std::uint8_t, 3 * 4096> row;
    for (std::size_t i = 0; i < row.size(); ++i) {
        row[i] = static_cast<std::uint8_t>(i * 37);
    }
    std::uint32_t sum = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < row.size(); i += 3) {
            sum += ToColor15(row[i], row[i + 1], row[i + 2]);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * row.size()));
}

// The plain way the run matcher replaces in the padded case: every pixel looked up in a table of
// the entries still sought once the used ones are found (16 to 255, which no pixel uses).
void BM_ChooseKeyEntryPaddedPlain(benchmark::State& state) {
    const SourceImage image = MakePicture(false, 16);
    std::array<bool, 256> wanted{};
    std::fill(wanted.begin() + 16, wanted.end(), true);
    for (auto _ : state) {
        VisitPieces(image, [&](const std::uint8_t* pixels, std::size_t size) {
            benchmark::DoNotOptimize(
                std::any_of(pixels, pixels + size, [&](std::uint8_t b) { return wanted[b]; }));
            return true;
        });
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * PixelCount(image)));
}

// The colour loop of FullColor16 over one picture's pixels, with AVX2 where the processor has it
// (argument 1) and without (0).
void BM_BgrToColor15(benchmark::State& state) {
    const SourceImage image = MakePicture(true, 255);
    const std::uint8_t* bgr = std::get<PixelsInMemory>(image.pixels.place).bytes.get();
    std::vector<std::uint8_t> words(2 * PixelCount(image));
    for (auto _ : state) {
        if (state.range(0) != 0) {
            BgrToColor15(bgr, PixelCount(image), words.data());
        } else {
            BgrToColor15Generic(bgr, PixelCount(image), words.data());
        }
        benchmark::DoNotOptimize(words.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 3 * PixelCount(image)));
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

BENCHMARK(BM_Index256)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Index16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullColor16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullColor16FromIndex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Index256Renumbered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IndexFullColor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChooseKeyEntryPadded)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChooseKeyEntryScatteredUnused)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChooseKeyEntryPaddedPlain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BgrToColor15)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FreshBlock)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceOutput)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_ToColor15);

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
