#include "tile_writer.h"

#include "system.h"

namespace bmp2tvx {

Encoding WriteTileImage(const std::string& outputPath, const SourceImage& image,
                        TileImageFormat format, const std::function<void()>& announce) {
    // An Index16 picture may still be refused as it is encoded, which must leave no trace: its
    // announcement, and any complaint about the output, wait until every pixel has been seen.
    const bool checked = format == TileImageFormat::Index16;
    if (!checked) {
        announce();
    }
    OutputFile file;
    if (!OpenOutputFile(outputPath, file) && !checked) {
        FinishOutputFile(file, OutputEnd::Failed);
        return Encoding::SinkStopped;
    }
    constexpr std::size_t kBlock = 128 * 1024;
    const Storage scratch = AllocateStorage(kBlock);
    const Encoding encoding =
        scratch ? EmitTileImage(image, format, std::span<std::uint8_t>(scratch.get(), kBlock),
                                [&](std::span<const std::uint8_t> bytes) {
                                    // A failed output does not stop the check.
                                    return WriteOutputFile(file, bytes) || checked;
                                })
                : Encoding::SinkStopped;
    if (encoding == Encoding::ReadFailed || encoding == Encoding::AboveIndex16) {
        FinishOutputFile(file, OutputEnd::Abandoned);
        return encoding;
    }
    if (checked) {
        announce();
    }
    const bool written = FinishOutputFile(
        file, encoding == Encoding::Complete ? OutputEnd::Complete : OutputEnd::Failed);
    return written ? Encoding::Complete : Encoding::SinkStopped;
}

}  // namespace bmp2tvx
