// The inner loops on their own, over a 4096 x 4096 picture held in memory, in bytes of source
// pixels per second: a regression in one encoder shows here even when file I/O hides it.
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>

#include "palette/key_color.h"
#include "tileimage/tile_encoder.h"

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
    image.storage = AllocateStorage(bytes);
    std::uint32_t seed = 12345;
    for (std::uint64_t i = 0; i < bytes; ++i) {
        seed = seed * 1103515245u + 12345u;
        image.storage[i] = static_cast<std::uint8_t>((seed >> 16) % colours);
    }
    (fullColor ? image.colorPixels : image.indexPixels) = image.storage.get();
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

void BM_FitsIndex16(benchmark::State& state) {
    const SourceImage image = MakePicture(false, 16);
    for (auto _ : state) {
        benchmark::DoNotOptimize(FitsIndex16(image).value_or(false));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * PixelCount(image)));
}

void BM_MoveKeyColorToZero(benchmark::State& state) {
    SourceImage image = MakePicture(false, 255);
    image.colorTable[200] = ColorEntry{1, 2, 3};
    image.colorTable[0] = ColorEntry{9, 9, 9};
    bool toggle = false;
    for (auto _ : state) {
        // Alternate the key so that every pass exchanges entries 0 and 200.
        MoveKeyColorToZero(image, toggle ? 9 : 3, toggle ? 9 : 2, toggle ? 9 : 1);
        toggle = !toggle;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * PixelCount(image)));
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
        benchmark::DoNotOptimize(ChooseKeyEntry(image, 0, 0, 0));
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
        benchmark::DoNotOptimize(ChooseKeyEntry(image, 0, 0, 0));
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
BENCHMARK(BM_FitsIndex16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MoveKeyColorToZero)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChooseKeyEntryPadded)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChooseKeyEntryScatteredUnused)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToColor15);

}  // namespace
}  // namespace bmp2tvx

BENCHMARK_MAIN();
