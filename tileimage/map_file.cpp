#include "map_file.h"

#include "byte_order.h"

namespace bmp2tvx {

std::vector<std::uint8_t> MapFileBytes(const MapFile& map) {
    const bool affine = map.kind == MapKind::Affine;
    std::vector<std::uint8_t> bytes(kMapHeaderSize + 32 * map.banks.size() +
                                    (affine ? 1 : 2) * map.entries.size());
    const std::uint16_t header[] = {static_cast<std::uint16_t>(affine ? 1 : 0), map.tilesAcross,
                                    map.tilesDown, static_cast<std::uint16_t>(map.banks.size())};
    std::uint8_t* at = bytes.data();
    for (const std::uint16_t field : header) {
        StoreLittle16(at, field);
        at += 2;
    }
    for (const ColorBank& bank : map.banks) {
        for (const Color15 word : bank) {
            StoreLittle16(at, word);
            at += 2;
        }
    }
    for (const std::uint16_t entry : map.entries) {
        if (affine) {
            *at++ = static_cast<std::uint8_t>(entry);
        } else {
            StoreLittle16(at, entry);
            at += 2;
        }
    }
    return bytes;
}

std::optional<std::uint64_t> MapFileSize(const std::uint8_t* head) {
    const std::uint16_t kind = LoadLittle16(head), banks = LoadLittle16(head + 6);
    if (kind > 1 || banks > 16) {
        return std::nullopt;
    }
    const std::uint64_t cells = std::uint64_t{LoadLittle16(head + 2)} * LoadLittle16(head + 4);
    return kMapHeaderSize + 32u * banks + cells * (kind == 1 ? 1 : 2);
}

bool ReadMapView(std::span<const std::uint8_t> bytes, MapView& view) {
    if (bytes.size() < kMapHeaderSize || MapFileSize(bytes.data()) != bytes.size()) {
        return false;
    }
    view.kind = LoadLittle16(bytes.data()) == 1 ? MapKind::Affine : MapKind::Regular;
    view.tilesAcross = LoadLittle16(bytes.data() + 2);
    view.tilesDown = LoadLittle16(bytes.data() + 4);
    const std::size_t banks = 32u * LoadLittle16(bytes.data() + 6);
    view.banks = bytes.subspan(kMapHeaderSize, banks);
    view.entries = bytes.subspan(kMapHeaderSize + banks);
    return true;
}

std::uint16_t MapEntry(const MapView& view, std::size_t i) {
    return view.kind == MapKind::Affine ? view.entries[i] : LoadLittle16(&view.entries[2 * i]);
}

std::optional<std::string> MapPathOf(const std::string& outputPath) {
    if (outputPath.size() < 3) {
        return std::nullopt;
    }
    return outputPath.substr(0, outputPath.size() - 3) + "tvm";
}

}  // namespace bmp2tvx
