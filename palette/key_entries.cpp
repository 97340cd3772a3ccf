#include "messages.h"
#include "pixels.h"
#include "plan_parts.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

namespace bmp2tvx {
namespace {

// Entry numbers still looked for, as runs of consecutive numbers: tables padded with copies of one
// colour make one long run, so the test below costs a few instructions per sixteen pixels.
struct EntryRun {
    std::uint8_t first = 0;
    std::uint8_t span = 0;  // last - first
};

// Whether any byte lies in one of the first `kRuns` runs. The run count is fixed so that the
// compiler can vectorise the loop.
template <std::size_t kRuns>
bool AnyInRuns(const std::uint8_t* bytes, std::size_t size, const std::array<EntryRun, 2>& runs) {
    std::uint8_t hit = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = bytes[i];
        for (std::size_t r = 0; r < kRuns; ++r) {
            hit |= static_cast<std::uint8_t>(static_cast<std::uint8_t>(b - runs[r].first) <=
                                             runs[r].span);
        }
    }
    return hit != 0;
}

// Finds the runs of consecutive entry numbers in `wanted`, and keeps the first two.
std::size_t FindRuns(const std::array<bool, 256>& wanted, std::array<EntryRun, 2>& runs) {
    std::size_t count = 0;
    for (std::size_t e = 0; e < 256;) {
        if (!wanted[e]) {
            ++e;
            continue;
        }
        std::size_t last = e;
        while (last + 1 < 256 && wanted[last + 1]) {
            ++last;
        }
        if (count < runs.size()) {
            runs[count] = {static_cast<std::uint8_t>(e), static_cast<std::uint8_t>(last - e)};
        }
        ++count;
        e = last + 1;
    }
    return count;
}

// Whether any of `size` bytes is a wanted entry number. One or two runs, as in a table padded
// with copies of the key colour, are tested many pixels at a time; more look each pixel up.
bool AnyWanted(const std::uint8_t* block, std::size_t size, const std::array<bool, 256>& wanted,
               const std::array<EntryRun, 2>& runs, std::size_t runCount) {
    if (runCount <= 2) {
        return runCount == 1 ? AnyInRuns<1>(block, size, runs) : AnyInRuns<2>(block, size, runs);
    }
    return std::any_of(block, block + size, [&](std::uint8_t b) { return wanted[b]; });
}

// The highest (or, unless `highest`, the lowest) of the `candidates` (entry numbers in ascending
// order) that some pixel uses, in `best`; left empty when no pixel uses any of them. It stops as
// soon as the best candidate of all has been seen, since nothing can beat it.
PixelWalk BestUsed(SourceImage& image, const std::vector<std::uint8_t>& candidates, bool highest,
                   std::optional<std::uint8_t>& best) {
    std::array<bool, 256> wanted{};
    for (const std::uint8_t c : candidates) {
        wanted[c] = true;
    }
    const std::uint8_t unbeatable = highest ? candidates.back() : candidates.front();
    std::array<EntryRun, 2> runs{};
    std::size_t runCount = FindRuns(wanted, runs);
    constexpr std::size_t kBlock = 16 * 1024;
    return VisitPieces(image, [&](const std::uint8_t* pixels, std::size_t total) {
        for (std::size_t start = 0; start < total && best != unbeatable; start += kBlock) {
            const std::uint8_t* block = pixels + start;
            const std::size_t size = std::min(kBlock, total - start);
            if (!AnyWanted(block, size, wanted, runs, runCount)) {
                continue;
            }
            // Rare: at most once per candidate, as each hit rules out every candidate it beats.
            for (std::size_t i = 0; i < size; ++i) {
                if (wanted[block[i]] && (!best || (block[i] > *best) == highest)) {
                    best = block[i];
                }
            }
            std::fill(highest ? wanted.begin() : wanted.begin() + *best,
                      highest ? wanted.begin() + *best + 1 : wanted.end(), false);
            runCount = FindRuns(wanted, runs);
        }
        return best != unbeatable;
    });
}

// The entry among the key colour's copies (only those the file supplies, and among the first
// `entries` of them) that becomes entry 0: the highest one that some pixel uses; when no pixel
// uses any of them, the highest of them. 0 means nothing moves: no entry matches, or entry 0 is
// the only match that pixels use. The pixels are read only when the key matches several entries.
// An unused copy of the key colour, such as the black filler many writers pad their tables
// with, would otherwise make nothing transparent.
bool ChooseKeyEntry(SourceImage& image, const ColorEntry& key, std::size_t entries,
                    std::uint8_t& entry) {
    const auto& indexed = std::get<IndexedPicture>(image.picture.colors);
    const std::size_t count = std::min(entries, static_cast<std::size_t>(indexed.supplied));
    std::vector<std::uint8_t> candidates;
    for (std::size_t i = 0; i < count; ++i) {
        if (indexed.table[i] == key) {
            candidates.push_back(static_cast<std::uint8_t>(i));
        }
    }
    entry = 0;
    if (candidates.empty() || candidates.back() == 0) {
        return true;
    }
    std::optional<std::uint8_t> used;
    if (candidates.size() > 1 && BestUsed(image, candidates, true, used) == PixelWalk::Failed) {
        return false;
    }
    entry = used.value_or(candidates.back());
    return true;
}

}  // namespace

// With --key=none every index stays, entry 0 the transparent one: a transparent entry other than
// 0 that pixels use would have to move, and refuses the picture, naming its first pixel.
bool KeptIndicesFit(SourceImage& image, std::size_t bank) {
    std::array<bool, 256> elsewhere = std::get<IndexedPicture>(image.picture.colors).transparent;
    for (std::size_t e = 0; e < elsewhere.size(); e += bank) {
        elsewhere[e] = false;
    }
    if (std::find(elsewhere.begin(), elsewhere.end(), true) == elsewhere.end()) {
        return true;
    }
    std::optional<PixelAt> first;
    if (FindFirstIndex(image, elsewhere, first) == PixelWalk::Failed) {
        return false;
    }
    if (first) {
        Report(Message::TransparentEntryKept,
               {image.picture.name, first->x, first->y, first->index});
    }
    return !first;
}

bool AnyPixelOf(SourceImage& image, const std::array<bool, 256>& wanted, bool& failed) {
    std::array<EntryRun, 2> runs{};
    const std::size_t runCount = FindRuns(wanted, runs);
    bool any = false;
    failed = VisitPieces(image, [&](const std::uint8_t* pixels, std::size_t size) {
                 any = AnyWanted(pixels, size, wanted, runs, runCount);
                 return !any;
             }) == PixelWalk::Failed;
    return any;
}

std::optional<EntryPlan> PlanIndexedEntries(SourceImage& image, const KeyRequest& key,
                                            std::size_t entries) {
    const auto& indexed = std::get<IndexedPicture>(image.picture.colors);
    EntryPlan plan{indexed.table, IdentityMap()};
    if (key.keepIndices) {
        return KeptIndicesFit(image) ? std::optional(plan) : std::nullopt;
    }
    // Transparency the file gives comes first: the lowest transparent entry that pixels use is
    // exchanged with entry 0, and the pixels of every other transparent entry read as 0 too.
    std::vector<std::uint8_t> clear;
    for (std::size_t e = 0; e < indexed.transparent.size(); ++e) {
        if (indexed.transparent[e]) {
            clear.push_back(static_cast<std::uint8_t>(e));
        }
    }
    std::optional<std::uint8_t> zero;
    if (!clear.empty() && BestUsed(image, clear, false, zero) == PixelWalk::Failed) {
        return std::nullopt;
    }
    // Only a picture without transparent pixels has its key colour moved to entry 0.
    std::uint8_t entry = zero.value_or(0);
    if (!zero && key.color && !ChooseKeyEntry(image, *key.color, entries, entry)) {
        return std::nullopt;
    }
    std::swap(plan.table[0], plan.table[entry]);
    std::swap(plan.map[0], plan.map[entry]);
    for (const std::uint8_t e : zero ? clear : std::vector<std::uint8_t>{}) {
        plan.map[e] = 0;
    }
    return plan;
}

}  // namespace bmp2tvx
