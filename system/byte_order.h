// Every multi-byte field of the files the tools read and write (BMP headers, colour words, the
// tile image file) is little-endian, whatever the host's own order. These loads and stores are
// the one way to them: a single load or store where the host is little-endian too.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace bmp2tvx {

constexpr std::uint32_t SwapToLittleEndian(std::uint32_t word) {
    if constexpr (std::endian::native == std::endian::little) {
        return word;
    }
    return word >> 24 | (word >> 8 & 0xFF00) | (word & 0xFF00) << 8 | word << 24;
}

inline std::uint16_t LoadLittle16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

inline void StoreLittle16(std::uint8_t* bytes, std::uint16_t value) {
    bytes[0] = static_cast<std::uint8_t>(value);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

inline std::uint32_t LoadLittle32(const std::uint8_t* bytes) {
    std::uint32_t word;
    std::memcpy(&word, bytes, 4);
    return SwapToLittleEndian(word);
}

inline void StoreLittle32(std::uint8_t* bytes, std::uint32_t value) {
    const std::uint32_t word = SwapToLittleEndian(value);
    std::memcpy(bytes, &word, 4);
}

}  // namespace bmp2tvx
