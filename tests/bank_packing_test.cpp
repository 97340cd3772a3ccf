#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bank_packing.h"

namespace bmp2tvx::test {
namespace {

// Colours renumbered in order of first appearance, as a picture's cells give them.
std::vector<ColorSet> InOrderOfAppearance(std::vector<ColorSet> sets) {
    std::map<std::uint32_t, std::uint32_t> number;
    for (ColorSet& set : sets) {
        for (std::uint32_t& c : set) {
            c = number.emplace(c, static_cast<std::uint32_t>(number.size())).first->second;
        }
    }
    return sets;
}

// A picture's cells drawn from known banks of `size` colours, the first `common` of them in
// every bank. Each bank first gets cells of `hi` consecutive colours that cover it; then every
// cell takes `lo` to `hi` colours of a bank picked at random. The cells of the last `narrow`
// banks only use 5 colours of their own; with `noise`, two cells of each bank trade a colour for
// one no other cell has.
struct Recipe {
    std::size_t banks, size, common, cells, lo, hi, narrow = 0;
    bool noise = false;
};

std::vector<ColorSet> FromBanks(const Recipe& r) {
    std::uint64_t state = 12345;
    const auto below = [&state](std::size_t n) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        return static_cast<std::size_t>((state >> 33) % n);
    };
    std::vector<ColorSet> cells;
    std::uint32_t privateColor = 100000;
    const auto cell = [&](std::size_t b, std::vector<std::size_t> picks) {
        const std::size_t own = b + r.narrow >= r.banks ? 5 : r.size - r.common;
        ColorSet set;
        for (const std::size_t p : picks) {
            const std::size_t i = p % (r.common + own);
            set.push_back(static_cast<std::uint32_t>(
                i < r.common ? i : r.common + b * (r.size - r.common) + i - r.common));
        }
        std::sort(set.begin(), set.end());
        set.erase(std::unique(set.begin(), set.end()), set.end());
        cells.push_back(set);
    };
    for (std::size_t b = 0; b < r.banks; ++b) {
        for (std::size_t first = 0; first < r.size; first += r.hi) {
            std::vector<std::size_t> picks;
            for (std::size_t k = 0; k < r.hi; ++k) {
                picks.push_back(first + k);
            }
            cell(b, picks);
        }
        for (int n = 0; r.noise && n < 2; ++n) {
            cell(b, {below(r.size), below(r.size), below(r.size)});
            cells.back().back() = privateColor++;
        }
    }
    while (cells.size() < r.cells) {
        const std::size_t b = below(r.banks);
        std::vector<std::size_t> picks;
        for (std::size_t n = r.lo + below(r.hi - r.lo + 1); n > 0; --n) {
            picks.push_back(below(r.size));
        }
        cell(b, picks);
    }
    return InOrderOfAppearance(cells);
}

// Every colour of `pairs` becomes `width` colours: the same picture with wider cells.
std::vector<ColorSet> Widened(const std::vector<ColorSet>& pairs, std::uint32_t width) {
    std::vector<ColorSet> wide;
    for (const ColorSet& set : pairs) {
        wide.emplace_back();
        for (const std::uint32_t c : set) {
            for (std::uint32_t k = 0; k < width; ++k) {
                wide.back().push_back(c * width + k);
            }
        }
    }
    return wide;
}

// Twelve cells of two colours that fit two banks of four, one taking the colours 0, 1, 4, 6 and
// the other 2, 3, 5, 7; greedy packers pair them across and need six. A picture reported on
// another converter's bug tracker, its cells read top to bottom.
const std::vector<ColorSet> kTwoBanksOfFour = {{0, 1}, {2, 3}, {0, 4}, {2, 5}, {0, 6}, {2, 7},
                                               {1, 4}, {3, 5}, {1, 6}, {3, 7}, {4, 6}, {5, 7}};
// From the same report: all twelve cells of three of six colours that lie in one of {0, 1, 2, 4},
// {0, 1, 3, 5} or {2, 3, 4, 5}; any three of the cells 0-1-2, 0-3-5 and 2-3-4 clash pairwise.
const std::vector<ColorSet> kThreeBanksOfFour = {{0, 1, 2}, {0, 1, 3}, {0, 1, 4}, {0, 1, 5},
                                                 {0, 3, 5}, {1, 3, 5}, {0, 2, 4}, {2, 3, 4},
                                                 {1, 2, 4}, {2, 4, 5}, {2, 3, 5}, {3, 4, 5}};

TEST(BankPacking, FewestBanks) {
    struct Case {
        std::string name;
        std::vector<ColorSet> sets;
        std::size_t capacity;
        std::size_t banks;  // the fewest possible
    };
    const std::vector<Case> cases = {
        {"no cells", {}, 15, 0},
        {"empty cells share bank 0", {{}, {}}, 15, 1},
        {"one colour", {{}, {0}}, 15, 1},
        {"disjoint cells that fit together", {{0, 1}, {2, 3}, {}, {4}}, 15, 1},
        {"three pairs of a bank of three", {{0, 1}, {1, 2}, {0, 2}}, 3, 1},
        {"full cells, a copy and cells inside them",
         {{0, 1, 2, 3}, {4, 5, 6, 7}, {6, 5}, {}, {4, 5, 6, 7}, {3}},
         4,
         2},
        {"a cell larger than a bank gets its own", {{0, 1}, {0, 1, 2, 3, 4}, {1}}, 4, 2},
        // First fit in this order puts both pairs in one bank and needs three.
        {"first fit needs three", {{0, 1}, {2, 3}, {0, 1, 4, 5}, {2, 3, 6, 7}}, 4, 2},
        {"another converter's picture: two banks, not six", kTwoBanksOfFour, 4, 2},
        {"the same picture, three colours a colour", Widened(kTwoBanksOfFour, 3), 12, 2},
        {"twelve cells of three in three banks", kThreeBanksOfFour, 4, 3},
        // The colours fill the known banks exactly, so no fewer will do.
        {"4 banks, cells of 3 to 9", FromBanks({4, 15, 0, 120, 3, 9}), 15, 4},
        {"16 banks, 4096 cells of 2 to 9", FromBanks({16, 15, 0, 4096, 2, 9}), 15, 16},
        {"5 banks of 13 and 10 lone colours", FromBanks({5, 13, 0, 200, 2, 8, 0, true}), 15, 5},
        // Banks sharing colours, still too many colours for one bank fewer (3 + 5 x 12 = 63,
        // 2 + 7 x 13 = 93, 1 + 14 x 14 = 197). Best fit alone needs 20, 13 and 15: a cell goes to
        // a bank of another known bank for the shared colours it has.
        {"5 banks sharing 3, cells of 4 to 6", FromBanks({5, 15, 3, 300, 4, 6}), 15, 5},
        {"7 banks sharing 2, cells of 3 to 8", FromBanks({7, 15, 2, 400, 3, 8}), 15, 7},
        {"14 banks sharing 1, cells of 4 to 6", FromBanks({14, 15, 1, 1000, 4, 6}), 15, 14},
        // A cell of 10 colours or more from each bank clashes with the others'.
        {"8 banks sharing 3, cells of 4 to 12", FromBanks({8, 15, 3, 300, 4, 12}), 15, 8},
        {"16 banks sharing 3, 4096 cells", FromBanks({16, 15, 3, 4096, 2, 10}), 15, 16},
        // Three of six banks use 5 colours each: 60 colours, and four banks hold them.
        {"6 known banks, 4 suffice", FromBanks({6, 15, 0, 400, 2, 5, 3}), 15, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const BankPlan plan = PackBanks(c.sets, c.capacity);
        EXPECT_EQ(plan.banks.size(), c.banks);
        ASSERT_EQ(plan.bankOf.size(), c.sets.size());
        // Each set whole in its bank; banks numbered by the first set each holds; empty sets in
        // bank 0.
        std::vector<std::set<std::uint32_t>> needed(plan.banks.size());
        std::vector<std::size_t> largest(plan.banks.size(), c.capacity);
        std::uint32_t next = 0;
        for (std::size_t i = 0; i < c.sets.size(); ++i) {
            const std::uint32_t b = plan.bankOf[i];
            ASSERT_LT(b, plan.banks.size());
            if (c.sets[i].empty()) {
                EXPECT_EQ(b, 0u);
                continue;
            }
            EXPECT_LE(b, next);
            next += b == next ? 1 : 0;
            largest[b] = std::max(largest[b], c.sets[i].size());
            needed[b].insert(c.sets[i].begin(), c.sets[i].end());
        }
        EXPECT_EQ(next, std::all_of(c.sets.begin(), c.sets.end(), [](auto& s) { return s.empty(); })
                            ? 0
                            : plan.banks.size());
        // Each bank: its sets' colours and no others, ascending, at most the capacity (a set
        // larger than that alone in its bank).
        for (std::size_t b = 0; b < plan.banks.size(); ++b) {
            const std::vector<std::uint32_t>& bank = plan.banks[b];
            EXPECT_EQ(std::vector<std::uint32_t>(needed[b].begin(), needed[b].end()), bank);
            EXPECT_LE(bank.size(), largest[b]);
        }
        // The same input, the same plan.
        const BankPlan again = PackBanks(c.sets, c.capacity);
        EXPECT_EQ(again.banks, plan.banks);
        EXPECT_EQ(again.bankOf, plan.bankOf);
    }
}

}  // namespace
}  // namespace bmp2tvx::test
