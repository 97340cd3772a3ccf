// Feeds arbitrary bytes to tvx2png's reader and to tvx.h, the header GBA programs load tile image
// files with, and stops on the first file they disagree about: accepted by one only, accepted by
// both with a different palette, pixels or size, or accepted by tvx.h at an odd address. For an
// accepted file it also copies both blocks with tvx_copy and draws the picture, so the sanitizers
// see every byte read. The same bytes are judged as a map file too, by both, and an accepted map
// is placed in screen blocks at every background size.
#include "tvx.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tile_reader.h"

namespace {

// The bytes as a map file: tvx.h and the tools' reader agree on it, and tvx_map_copy places an
// accepted one at every size the hardware has, from the map's middle, within the screen blocks.
void CheckMap(const std::vector<std::uint8_t>& file) {
    bmp2tvx::MapView view;
    const bool parsed = bmp2tvx::ReadMapView(file, view);
    const auto size = static_cast<std::uint32_t>(file.size());
    if (parsed != (tvx_map_valid(file.data(), size) == 1)) {
        std::abort();
    }
    if (!parsed) {
        return;
    }
    const bool same =
        tvx_map_kind(file.data()) == (view.kind == bmp2tvx::MapKind::Affine ? 1u : 0u) &&
        tvx_map_width(file.data()) == view.tilesAcross &&
        tvx_map_height(file.data()) == view.tilesDown &&
        tvx_map_bank_count(file.data()) * 32 == view.banks.size() &&
        tvx_map_entries(file.data()) == view.entries.data();
    if (!same) {
        std::abort();
    }
    // Four 2 KiB screen blocks hold the largest regular background, 16 KiB the largest affine one.
    std::vector<std::uint32_t> screen(16 * 1024 / 4);
    for (std::uint32_t bgSize = 0; bgSize < 4; ++bgSize) {
        tvx_map_copy(screen.data(), bgSize, file.data(), view.tilesAcross / 2, view.tilesDown / 2,
                     128, 128);
    }
    std::vector<std::uint32_t> palette(512 / 4);
    tvx_map_copy_banks(palette.data(), file.data(), file.empty() ? 0 : file[0] % 17);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace bmp2tvx;
    // A program embeds the file at an address that is a multiple of 4; the allocator's is too.
    const std::vector<std::uint8_t> file(data, data + size);
    if (size <= UINT32_MAX) {
        CheckMap(file);
    }
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
