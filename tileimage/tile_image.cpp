#include "tile_image.h"

namespace bmp2tvx {

const char* TargetFormatName(TargetFormat format) {
    switch (format) {
        case TargetFormat::Index16:
            return "Index16";
        case TargetFormat::Index256:
            return "Index256";
        case TargetFormat::FullColor16:
            return "FullColor16";
    }
    return "?";
}

TileImageHeader MakeTileImageHeader(TargetFormat format, std::uint32_t width,
                                    std::uint32_t height) {
    const std::uint32_t tilesAcross = width / kTileSide;
    const std::uint32_t tilesDown = height / kTileSide;
    TileImageHeader header;
    header.formatCode = static_cast<std::uint16_t>(format);
    header.tilesAcross = static_cast<std::uint16_t>(tilesAcross & 0xFFFF);
    header.tilesDown = static_cast<std::uint16_t>(tilesDown & 0xFFFF);
    header.tileCount = static_cast<std::uint16_t>((tilesAcross * tilesDown) & 0xFFFF);
    return header;
}

void PutTileImageHeader(const TileImageHeader& header, std::uint8_t* out) {
    StoreLittle16(out, header.formatCode);
    StoreLittle16(out + 2, header.tilesAcross);
    StoreLittle16(out + 4, header.tilesDown);
    StoreLittle16(out + 6, header.tileCount);
}

TileImageHeader GetTileImageHeader(const std::uint8_t* in) {
    return TileImageHeader{LoadLittle16(in), LoadLittle16(in + 2), LoadLittle16(in + 4),
                           LoadLittle16(in + 6)};
}

}  // namespace bmp2tvx
