#include "tileimage/tile_writer.h"

#include <memory>

#include "system/system.h"
#include "tileimage/tile_encoder.h"

namespace bmp2tvx {

bool WriteTileImage(const std::string& outputPath, const SourceImage& image,
                    TileImageFormat format) {
    OutputFile file;
    if (!OpenOutputFile(outputPath, file)) {
        return false;
    }
    constexpr std::size_t kBlock = 256 * 1024;
    const std::unique_ptr<std::uint8_t[]> scratch(new std::uint8_t[kBlock]);
    EmitTileImage(
        image, format, std::span<std::uint8_t>(scratch.get(), kBlock),
        [&](std::span<const std::uint8_t> bytes) { return WriteOutputFile(file, bytes); });
    return CloseOutputFile(file);
}

}  // namespace bmp2tvx
