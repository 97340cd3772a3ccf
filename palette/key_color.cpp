#include "key_color.h"

#include "messages.h"
#include "pixels.h"

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
PixelWalk BestUsed(const SourceImage& image, const std::vector<std::uint8_t>& candidates,
                   bool highest, std::optional<std::uint8_t>& best) {
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

// Exchanges colour-table entry `entry` with entry 0, and the pixels of the two with them.
void ExchangeWithZero(SourceImage& image, std::uint8_t entry) {
    if (entry != 0) {
        std::swap(image.colorTable[0], image.colorTable[entry]);
        IndexMap exchange = IdentityMap();
        std::swap(exchange[0], exchange[entry]);
        Renumber(image, exchange);
    }
}

}  // namespace

KeyColor MakeKeyColor(std::int32_t red, std::int32_t green, std::int32_t blue) {
    const auto inRange = [](std::int32_t c) { return c >= 0 && c <= 255; };
    if (!inRange(red) || !inRange(green) || !inRange(blue)) {
        return std::nullopt;
    }
    return ColorEntry{static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(green),
                      static_cast<std::uint8_t>(red)};
}

bool ChooseKeyEntry(const SourceImage& image, KeyColor key, std::int32_t searchEntries,
                    std::uint8_t& entry) {
    const std::int32_t count = std::clamp(std::min(searchEntries, image.suppliedColors), 0, 256);
    std::vector<std::uint8_t> candidates;
    for (std::int32_t i = 0; key && i < count; ++i) {
        if (image.colorTable[static_cast<std::size_t>(i)] == *key) {
            candidates.push_back(static_cast<std::uint8_t>(i));
        }
    }
    entry = 0;
    if (candidates.empty() || candidates.back() == 0) {
        return true;  // no match, or only entry 0: nothing to move
    }
    if (candidates.size() == 1) {
        entry = candidates.back();  // the only copy moves, whether pixels use it or not
        return true;
    }
    // The highest entry that pixels use, which is 0 (nothing moves) when only entry 0 is; an
    // unused copy of the key colour, such as the black filler many writers pad their tables
    // with, would make nothing transparent. Only when no pixel uses any of them, the highest.
    std::optional<std::uint8_t> used;
    if (BestUsed(image, candidates, true, used) == PixelWalk::Failed) {
        return false;
    }
    entry = used.value_or(candidates.back());
    return true;
}

bool MoveKeyColorToZero(SourceImage& image, KeyColor key, std::int32_t searchEntries) {
    std::uint8_t entry = 0;
    if (!ChooseKeyEntry(image, key, searchEntries, entry)) {
        return false;
    }
    ExchangeWithZero(image, entry);
    return true;
}

bool MoveTransparentToZero(SourceImage& image, bool& moved) {
    moved = false;
    std::vector<std::uint8_t> candidates;
    for (std::size_t e = 0; e < image.transparentEntries.size(); ++e) {
        if (image.transparentEntries[e]) {
            candidates.push_back(static_cast<std::uint8_t>(e));
        }
    }
    std::optional<std::uint8_t> used;
    if (!candidates.empty() && BestUsed(image, candidates, false, used) == PixelWalk::Failed) {
        return false;
    }
    if (!used) {
        return true;  // no pixel is transparent
    }
    ExchangeWithZero(image, *used);
    std::swap(image.transparentEntries[0], image.transparentEntries[*used]);
    // Every other transparent entry reads as 0, by the numbers the exchange left it.
    IndexMap clear = IdentityMap();
    for (const std::uint8_t e : candidates) {
        if (e != *used) {
            clear[e == 0 ? *used : e] = 0;
        }
    }
    Renumber(image, clear);
    moved = true;
    return true;
}

bool CheckKeptIndices(const SourceImage& image) {
    std::array<bool, 256> elsewhere = image.transparentEntries;
    elsewhere[0] = false;
    if (std::find(elsewhere.begin(), elsewhere.end(), true) == elsewhere.end()) {
        return true;
    }
    std::optional<PixelAt> first;
    if (FindFirstIndex(image, elsewhere, first) == PixelWalk::Failed) {
        return false;
    }
    if (first) {
        Report(Message::TransparentEntryKept,
               {image.pixels.name, first->x, first->y, first->index});
    }
    return !first;
}

}  // namespace bmp2tvx
