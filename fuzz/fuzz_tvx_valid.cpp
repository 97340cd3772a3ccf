// Feeds arbitrary bytes to tvx2png's reader and to tvx.h, the header GBA programs load tile image
// files with, and stops on the first file they disagree about: accepted by one only, accepted by
// both with a different palette, pixels or size, or accepted by tvx.h at an odd address. For an
// accepted file it also copies both blocks with tvx_copy and draws the picture, so the sanitizers
// see every byte read.
#include "tvx.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tile_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace bmp2tvx;
    // A program embeds the file at an address that is a multiple of 4; the allocator's is too.
    const std::vector<std::uint8_t> file(data, data + size);
    TileImageView view;
    const bool parsed = ParseTileImage("fuzz.tvx", file, view);
    const void* bytes = file.data();
    const int valid = size <= UINT32_MAX ? tvx_valid(bytes, static_cast<std::uint32_t>(size)) : 0;
    if (parsed != (valid == 1)) {
        std::abort();
    }
    // The same bytes one past a multiple of 4 are always refused: the header is read in words.
    std::vector<std::uint8_t> odd(size + 1);
    std::copy(data, data + size, odd.begin() + 1);
    if (size <= UINT32_MAX && tvx_valid(odd.data() + 1, static_cast<std::uint32_t>(size)) != 0) {
        std::abort();
    }
    if (!parsed) {
        return 0;
    }
    const bool same =
        tvx_format(bytes) == static_cast<std::uint32_t>(view.format) &&
        tvx_width(bytes) == view.tilesAcross * 8 && tvx_height(bytes) == view.tilesDown * 8 &&
        tvx_palette_size(bytes) == view.palette.size() &&
        static_cast<const void*>(tvx_palette(bytes)) ==
            (view.palette.empty() ? nullptr : view.palette.data()) &&
        tvx_pixels(bytes) == view.body.data() && tvx_pixels_size(bytes) == view.body.size();
    if (!same) {
        std::abort();
    }
    std::vector<std::uint32_t> memory((tvx_palette_size(bytes) + tvx_pixels_size(bytes)) / 4 + 1);
    auto* out = reinterpret_cast<std::uint8_t*>(memory.data());
    tvx_copy(out, tvx_palette(bytes), tvx_palette_size(bytes));
    tvx_copy(out + tvx_palette_size(bytes), tvx_pixels(bytes), tvx_pixels_size(bytes));
    if (std::memcmp(out, file.data() + 8, size - 8) != 0) {
        std::abort();
    }
    RenderRgba(view);
    return 0;
}
