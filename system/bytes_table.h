// Hash tables keyed by short runs of bytes (a tile's pixels, a cell's set of colours), looked up
// by a view of the bytes where they lie, so that only a new key is copied.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace bmp2tvx {

// Eight bytes at a time, each word mixed in by a multiplication; a key's bytes are never read
// past its end.
struct BytesHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view bytes) const {
        std::uint64_t h = 0x9E3779B97F4A7C15u ^ bytes.size();
        std::size_t i = 0;
        for (; i + 8 <= bytes.size(); i += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes.data() + i, 8);
            h = (h ^ word) * 0xFF51AFD7ED558CCDu;
            h ^= h >> 32;
        }
        for (; i < bytes.size(); ++i) {
            h = (h ^ static_cast<unsigned char>(bytes[i])) * 0x100000001B3u;
        }
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
};

template <typename Value>
using BytesTable = std::unordered_map<std::string, Value, BytesHash, std::equal_to<>>;

// The bytes of `object` (an array of bytes or words) as a key.
template <typename Object>
std::string_view BytesOf(const Object& object) {
    return {reinterpret_cast<const char*>(object.data()), sizeof(object[0]) * object.size()};
}

}  // namespace bmp2tvx
