#include "palette/key_color.h"

#include "image/pixels.h"

#include <algorithm>
#include <array>
#include <cstddef>
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

// The highest of the `candidates` (entry numbers in ascending order) that some pixel uses, or -1
// when no pixel uses any of them; -2 when reading the pixels failed. It stops as soon as the
// highest candidate has been seen, since nothing can beat it.
std::int32_t HighestUsed(const SourceImage& image, const std::vector<std::int32_t>& candidates) {
    std::array<bool, 256> wanted{};
    for (const std::int32_t c : candidates) {
        wanted[static_cast<std::size_t>(c)] = true;
    }
    std::array<EntryRun, 8> runs{};
    std::size_t runCount = 0;
    const auto findRuns = [&] {
        runCount = 0;
        for (std::size_t e = 0; e < 256;) {
            if (!wanted[e]) {
                ++e;
                continue;
            }
            std::size_t last = e;
            while (last + 1 < 256 && wanted[last + 1]) {
                ++last;
            }
            if (runCount < runs.size()) {
                runs[runCount] = {static_cast<std::uint8_t>(e),
                                  static_cast<std::uint8_t>(last - e)};
            }
            ++runCount;
            e = last + 1;
        }
        for (std::size_t r = runCount; r < runs.size(); ++r) {
            runs[r] = runs[0];
        }
    };
    findRuns();

    const std::int32_t highest = candidates.back();
    std::int32_t best = -1;
    constexpr std::size_t kBlock = 16 * 1024;
    const bool read = VisitPixels(image, [&](const std::uint8_t* pixels, std::size_t total) {
        for (std::size_t start = 0; start < total && best < highest; start += kBlock) {
            const std::uint8_t* block = pixels + start;
            const std::size_t size = std::min(kBlock, total - start);
            bool hit = false;
            if (runCount == 1) {
                hit = AnyInRuns<1>(block, size, runs);
            } else if (runCount == 2) {
                hit = AnyInRuns<2>(block, size, runs);
            } else if (runCount <= 8) {
                hit = AnyInRuns<8>(block, size, runs);
            } else {
                hit = std::any_of(block, block + size, [&](std::uint8_t b) { return wanted[b]; });
            }
            if (!hit) {
                continue;
            }
            // Rare: at most once per candidate, as each hit rules out every candidate up to it.
            for (std::size_t i = 0; i < size; ++i) {
                if (wanted[block[i]]) {
                    best = std::max<std::int32_t>(best, block[i]);
                }
            }
            std::fill(wanted.begin(), wanted.begin() + best + 1, false);
            findRuns();
        }
        return best < highest;
    });
    return read || best == highest ? best : -2;
}

}  // namespace

std::int32_t ChooseKeyEntry(const SourceImage& image, std::int32_t keyRed, std::int32_t keyGreen,
                            std::int32_t keyBlue, std::int32_t searchEntries) {
    const std::int32_t count = std::clamp(std::min(searchEntries, image.suppliedColors), 0, 256);
    std::vector<std::int32_t> candidates;
    for (std::int32_t i = 0; i < count; ++i) {
        const ColorEntry& entry = image.colorTable[static_cast<std::size_t>(i)];
        if (entry.red == keyRed && entry.green == keyGreen && entry.blue == keyBlue) {
            candidates.push_back(i);
        }
    }
    if (candidates.empty() || candidates.back() == 0) {
        return 0;  // no match, or only entry 0: nothing to move
    }
    // The highest entry that pixels use, which is 0 (nothing moves) when only entry 0 is; an
    // unused copy of the key colour, such as the black filler many writers pad their tables
    // with, would make nothing transparent. Only when no pixel uses any of them, the highest.
    const std::int32_t used = HighestUsed(image, candidates);
    return used >= 0 ? used : used == -1 ? candidates.back() : -1;
}

bool MoveKeyColorToZero(SourceImage& image, std::int32_t keyRed, std::int32_t keyGreen,
                        std::int32_t keyBlue, std::int32_t searchEntries) {
    const std::int32_t keyIndex = ChooseKeyEntry(image, keyRed, keyGreen, keyBlue, searchEntries);
    if (keyIndex <= 0) {
        return keyIndex == 0;
    }
    std::swap(image.colorTable[0], image.colorTable[static_cast<std::size_t>(keyIndex)]);
    const std::uint8_t key = static_cast<std::uint8_t>(keyIndex);
    if (PixelsInMemory(image)) {
        ExchangeWithZero(image.indexPixels, PixelCount(image), key);
    } else {
        image.exchangedWithZero = key;  // done as the pixels are read
    }
    return true;
}

}  // namespace bmp2tvx
