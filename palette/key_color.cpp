#include "key_color.h"

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
// compiler can vectorise the loop; unused places repeat a real run.
template <std::size_t kRuns>
bool AnyInRuns(const std::uint8_t* bytes, std::size_t size, const std::array<EntryRun, 8>& runs) {
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

// Finds the runs of consecutive entry numbers in `wanted`; unused places repeat the first run.
std::size_t FindRuns(const std::array<bool, 256>& wanted, std::array<EntryRun, 8>& runs) {
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
    for (std::size_t r = count; r < runs.size(); ++r) {
        runs[r] = runs[0];
    }
    return count;
}

// Whether any of `size` bytes is a wanted entry number.
bool AnyWanted(const std::uint8_t* block, std::size_t size, const std::array<bool, 256>& wanted,
               const std::array<EntryRun, 8>& runs, std::size_t runCount) {
    switch (runCount) {
        case 1:
            return AnyInRuns<1>(block, size, runs);
        case 2:
            return AnyInRuns<2>(block, size, runs);
        default:
            return runCount <= 8 ? AnyInRuns<8>(block, size, runs)
                                 : std::any_of(block, block + size,
                                               [&](std::uint8_t b) { return wanted[b]; });
    }
}

// The highest of the `candidates` (entry numbers in ascending order) that some pixel uses, in
// `highest`; left empty when no pixel uses any of them. It stops as soon as the highest
// candidate has been seen, since nothing can beat it.
PixelWalk HighestUsed(const SourceImage& image, const std::vector<std::uint8_t>& candidates,
                      std::optional<std::uint8_t>& highest) {
    std::array<bool, 256> wanted{};
    for (const std::uint8_t c : candidates) {
        wanted[c] = true;
    }
    std::array<EntryRun, 8> runs{};
    std::size_t runCount = FindRuns(wanted, runs);
    constexpr std::size_t kBlock = 16 * 1024;
    return VisitPieces(image, [&](const std::uint8_t* pixels, std::size_t total) {
        for (std::size_t start = 0; start < total && highest != candidates.back();
             start += kBlock) {
            const std::uint8_t* block = pixels + start;
            const std::size_t size = std::min(kBlock, total - start);
            if (!AnyWanted(block, size, wanted, runs, runCount)) {
                continue;
            }
            // Rare: at most once per candidate, as each hit rules out every candidate up to it.
            for (std::size_t i = 0; i < size; ++i) {
                if (wanted[block[i]] && (!highest || block[i] > *highest)) {
                    highest = block[i];
                }
            }
            std::fill(wanted.begin(), wanted.begin() + *highest + 1, false);
            runCount = FindRuns(wanted, runs);
        }
        return highest != candidates.back();
    });
}

}  // namespace

bool ChooseKeyEntry(const SourceImage& image, std::int32_t keyRed, std::int32_t keyGreen,
                    std::int32_t keyBlue, std::int32_t searchEntries, std::uint8_t& entry) {
    const std::int32_t count = std::clamp(std::min(searchEntries, image.suppliedColors), 0, 256);
    std::vector<std::uint8_t> candidates;
    for (std::int32_t i = 0; i < count; ++i) {
        const ColorEntry& e = image.colorTable[static_cast<std::size_t>(i)];
        if (e.red == keyRed && e.green == keyGreen && e.blue == keyBlue) {
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
    if (HighestUsed(image, candidates, used) == PixelWalk::Failed) {
        return false;
    }
    entry = used.value_or(candidates.back());
    return true;
}

bool MoveKeyColorToZero(SourceImage& image, std::int32_t keyRed, std::int32_t keyGreen,
                        std::int32_t keyBlue, std::int32_t searchEntries) {
    std::uint8_t key = 0;
    if (!ChooseKeyEntry(image, keyRed, keyGreen, keyBlue, searchEntries, key)) {
        return false;
    }
    if (key != 0) {
        std::swap(image.colorTable[0], image.colorTable[key]);
        IndexMap exchange = IdentityMap();
        std::swap(exchange[0], exchange[key]);
        Renumber(image, exchange);
    }
    return true;
}

}  // namespace bmp2tvx
