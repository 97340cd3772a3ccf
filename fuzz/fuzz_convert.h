// The conversion fuzz target's own code, shared with the test that runs its past findings again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "tile_image.h"

namespace bmp2tvx::fuzz {

// How a conversion of fuzzed bytes ended: refused (at loading or later), or written in a layout.
struct Outcome {
    bool loaded = false;
    std::optional<TargetFormat> written;
    friend bool operator==(const Outcome&, const Outcome&) = default;
};

// Converts `data` from memory and from a file, with the settings its last bytes choose, and
// stops the process when the two ways disagree in any byte.
Outcome ConvertBothWays(const std::uint8_t* data, std::size_t size);

}  // namespace bmp2tvx::fuzz
