#include "bmp_writer.h"

#include <algorithm>
#include <array>
#include <span>
#include <vector>

#include "byte_order.h"
#include "system.h"

namespace bmp2tvx {
namespace {

// The file header (14 bytes) and a BITMAPV4HEADER (108 bytes), with no colour table after them:
// the pixels start at byte 122.
constexpr std::uint32_t kFileHeaderBytes = 14;
constexpr std::uint32_t kInfoHeaderBytes = 108;
constexpr std::uint32_t kPixelsAt = kFileHeaderBytes + kInfoHeaderBytes;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kSrgb = 0x73524742;  // the colour space "sRGB"
constexpr std::size_t kBlockBytes = 128 * 1024;

}  // namespace

bool WriteBmp(const std::string& path, std::uint32_t width, std::uint32_t height,
              const std::uint8_t* rgba) {
    OutputFile file;
    if (!OpenOutputFile(path, file)) {
        return CommitOutputFile(file);
    }
    // Every size field is 32 bits: a larger picture cannot be written as a BMP.
    const std::uint64_t pixelBytes = std::uint64_t{width} * height * 4;
    if (pixelBytes > 0xFFFFFFFFu - kPixelsAt) {
        return CommitOutputFile(file, false);
    }
    std::array<std::uint8_t, kPixelsAt> header{'B', 'M'};
    StoreLittle32(&header[2], static_cast<std::uint32_t>(kPixelsAt + pixelBytes));
    StoreLittle32(&header[10], kPixelsAt);
    StoreLittle32(&header[14], kInfoHeaderBytes);
    StoreLittle32(&header[18], width);
    StoreLittle32(&header[22], height);  // positive: the bottom row first
    StoreLittle16(&header[26], 1);       // planes
    StoreLittle16(&header[28], 32);      // bits per pixel
    StoreLittle32(&header[30], kBitFields);
    StoreLittle32(&header[34], static_cast<std::uint32_t>(pixelBytes));
    StoreLittle32(&header[54], 0x00FF0000);  // red, green, blue and alpha masks
    StoreLittle32(&header[58], 0x0000FF00);
    StoreLittle32(&header[62], 0x000000FF);
    StoreLittle32(&header[66], 0xFF000000);
    StoreLittle32(&header[70], kSrgb);  // then end points and gammas, unused for sRGB: zero
    bool written = WriteOutputFile(file, header);
    // The rows, bottom first and blue first, gathered into blocks of about 128 KiB a write.
    const std::size_t rowBytes = std::size_t{width} * 4;
    const std::size_t rowsPerBlock =
        std::max<std::size_t>(1, kBlockBytes / std::max<std::size_t>(rowBytes, 1));
    std::vector<std::uint8_t> block(std::min<std::size_t>(rowsPerBlock, height) * rowBytes);
    std::size_t filled = 0;
    for (std::uint32_t y = height; written && y-- > 0;) {
        const std::uint8_t* from = rgba + std::size_t{y} * rowBytes;
        std::uint8_t* to = block.data() + filled;
        for (std::size_t x = 0; x < rowBytes; x += 4) {
            to[x] = from[x + 2];
            to[x + 1] = from[x + 1];
            to[x + 2] = from[x];
            to[x + 3] = from[x + 3];
        }
        filled += rowBytes;
        if (filled == block.size() || y == 0) {
            written = WriteOutputFile(file, std::span<const std::uint8_t>(block.data(), filled));
            filled = 0;
        }
    }
    return CommitOutputFile(file, written);
}

}  // namespace bmp2tvx
