// The inner loops on their own, over a 4096 x 4096 picture held in memory, in bytes of source
// pixels per second: a regression in one encoder shows here even when file I/O hides it.
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>

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
    image.isFullColor = fullColor ? 1 : 0;
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

void Encode(benchmark::State& state, bool fullColor, std::uint8_t colours, TileImageFormat format) {
    const SourceImage image = MakePicture(fullColor, colours);
    std::array<std::uint8_t, 256 * 1024> scratch;
    for (auto _ : state) {
        EmitTileImage(image, format, scratch, [](std::span<const std::uint8_t> bytes) {
            benchmark::DoNotOptimize(bytes.data());
            return true;
        });
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(PixelCount(image) * (fullColor ? 3 : 1)));
}

void BM_Index256(benchmark::State& state) {
    Encode(state, false, 255, TileImageFormat::Index256);
}
void BM_Index16(benchmark::State& state) {
    Encode(state, false, 16, TileImageFormat::Index16);
}
void BM_FullColor16(benchmark::State& state) {
    Encode(state, true, 255, TileImageFormat::FullColor16);
}
void BM_FullColor16FromIndex(benchmark::State& state) {
    Encode(state, false, 255, TileImageFormat::FullColor16);
}

// Index pixels renumbered as they are read, as after a move of the key colour.
void BM_Index256Renumbered(benchmark::State& state) {
    SourceImage image = MakePicture(false, 255);
    IndexMap exchange = IdentityMap();
    std::swap(exchange[0], exchange[200]);
    Renumber(image, exchange);
    std::array<std::uint8_t, 256 * 1024> scratch;
    for (auto _ : state) {
        EmitTileImage(image, TileImageFormat::Index256, scratch,
                      [](std::span<const std::uint8_t> bytes) {
                          benchmark::DoNotOptimize(bytes.data());
                          return true;
                      });
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
        image.isFullColor = 1;
        // Every byte one of 255 values: the colours are few only on a greyscale ramp.
        Storage pixels = AllocateStorage(3 * PixelCount(source));
        const std::uint8_t* from = std::get<PixelsInMemory>(source.pixels.place).bytes.get();
        for (std::uint64_t i = 0; i < PixelCount(source); ++i) {
            pixels[3 * i] = pixels[3 * i + 1] = pixels[3 * i + 2] = from[3 * i];
        }
        image.pixels = PixelSource{PixelsInMemory{std::move(pixels)}, false, IdentityMap(), "b"};
        state.ResumeTiming();
        benchmark::DoNotOptimize(IndexFullColorPicture(image, 256, 0, 0, 0));
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
        benchmark::DoNotOptimize(ChooseKeyEntry(image, 0, 0, 0, 256, entry));
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
        benchmark::DoNotOptimize(ChooseKeyEntry(image, 0, 0, 0, 256, entry));
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

BENCHMARK(BM_Index256)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Index16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullColor16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullColor16FromIndex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Index256Renumbered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IndexFullColor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChooseKeyEntryPadded)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChooseKeyEntryScatteredUnused)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToColor15);

}  // namespace
}  // namespace bmp2tvx

BENCHMARK_MAIN();
