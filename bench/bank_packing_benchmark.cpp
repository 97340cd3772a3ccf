// Packing a background's cells into palette banks, in processor time per picture: 512 x 512
// backgrounds (4,096 cells) of a few hundred colours, which must take well under 50 ms, and
// hostile 1024 x 1024 ones (16,384 cells) that show the packing's work limits hold.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "bank_packing.h"

namespace bmp2tvx {
namespace {

struct Picture {
    std::size_t cells;
    std::uint32_t banks;   // cells drawn from banks of 15 colours; 0: from all colours at random
    std::uint32_t common;  // colours every bank has
    std::uint32_t colors;  // all colours, for cells drawn at random
    std::uint32_t lo, hi;  // colours a cell has
    std::uint32_t lonePercent;  // cells that trade a colour for one of their own
};

std::vector<ColorSet> Cells(const Picture& p) {
    std::uint64_t state = 2024;
    const auto below = [&state](std::uint32_t n) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        return static_cast<std::uint32_t>((state >> 33) % n);
    };
    std::vector<ColorSet> cells(p.cells);
    std::uint32_t lone = p.banks * 15 + p.colors;  // numbers after every other colour's
    for (ColorSet& cell : cells) {
        const std::uint32_t bank = p.banks > 0 ? below(p.banks) : 0;
        const std::uint32_t size = p.lo + below(p.hi - p.lo + 1);
        while (cell.size() < size) {
            std::uint32_t c = below(p.banks > 0 ? 15 : p.colors);
            c = p.banks == 0 || c < p.common ? c : p.common + bank * (15 - p.common) + c - p.common;
            if (std::find(cell.begin(), cell.end(), c) == cell.end()) {
                cell.push_back(c);
            }
        }
        if (below(100) < p.lonePercent) {
            cell.back() = lone++;
        }
    }
    return cells;
}

void BM_PackBanks(benchmark::State& state, Picture picture) {
    const std::vector<ColorSet> cells = Cells(picture);
    std::vector<std::uint32_t> colors;
    for (const ColorSet& cell : cells) {
        colors.insert(colors.end(), cell.begin(), cell.end());
    }
    std::sort(colors.begin(), colors.end());
    std::size_t banks = 0;
    for (auto _ : state) {
        const BankPlan plan = PackBanks(cells, 15);
        banks = plan.banks.size();
        benchmark::DoNotOptimize(plan.bankOf.data());
    }
    state.counters["banks"] = static_cast<double>(banks);
    state.counters["colours"] =
        static_cast<double>(std::unique(colors.begin(), colors.end()) - colors.begin());
}

// 512 x 512: 16 banks; 14 sharing one colour (an outline colour, say); 20 sharing two, with 2%
// of cells holding a colour of their own (359 colours); 24 sharing one, with 5% (554 colours).
BENCHMARK_CAPTURE(BM_PackBanks, banks16, Picture{4096, 16, 0, 0, 2, 9, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PackBanks, banks14_shared1, Picture{4096, 14, 1, 0, 3, 9, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PackBanks, banks20_shared2_lone2, Picture{4096, 20, 2, 0, 3, 12, 2})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PackBanks, banks24_shared1_lone5, Picture{4096, 24, 1, 0, 2, 8, 5})
    ->Unit(benchmark::kMillisecond);
// 1024 x 1024, hostile: every cell 8 of 300 colours; 7 or 8 of 20; 15 of 65,536.
BENCHMARK_CAPTURE(BM_PackBanks, random1024_8of300, Picture{16384, 0, 0, 300, 8, 8, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PackBanks, random1024_7of20, Picture{16384, 0, 0, 20, 7, 8, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PackBanks, random1024_15of65536, Picture{16384, 0, 0, 65536, 15, 15, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bmp2tvx

BENCHMARK_MAIN();
