#include "tileimage/tile_writer.h"

#include "system/system.h"
#include "tileimage/tile_encoder.h"

namespace bmp2tvx {

bool WriteTileImage(const std::string& outputPath, const SourceImage& image,
                    TileImageFormat format) {
    OutputFile file;
    if (!OpenOutputFile(outputPath, file)) {
        return false;
    }
    constexpr std::size_t kBlock = 128 * 1024;
    const Storage scratch = AllocateStorage(kBlock);
    if (!scratch) {
        FailOutputFile(file);
    } else if (!EmitTileImage(image, format, std::span<std::uint8_t>(scratch.get(), kBlock),
                              [&](std::span<const std::uint8_t> bytes) {
                                  return WriteOutputFile(file, bytes);
                              })) {
        // A failed write has said so; a failed read of the picture has said so too.
        AbandonOutputFile(file);
    }
    return CloseOutputFile(file);
}

}  // namespace bmp2tvx
