#include "bmp_rows.h"

#include <bit>

namespace bmp2tvx {
namespace {

// One bit field: where its bits start and how many there are.
struct Field {
    int shift = 0;
    int bits = 0;
};

Field FieldOf(std::uint32_t mask) {
    return mask == 0 ? Field{} : Field{std::countr_zero(mask), std::popcount(mask)};
}

std::uint8_t Widen(std::uint32_t word, Field field) {
    const std::uint32_t value = (word >> field.shift) & ((std::uint64_t{1} << field.bits) - 1);
    if (field.bits >= 8) {
        return static_cast<std::uint8_t>(value >> (field.bits - 8));
    }
    std::uint32_t out = 0;
    for (int shift = 8 - field.bits; shift > -field.bits; shift -= field.bits) {
        out |= shift >= 0 ? value << shift : value >> -shift;
    }
    return static_cast<std::uint8_t>(out);
}

}  // namespace

bool MasksAreUsable(const std::array<std::uint32_t, 4>& masks, std::uint16_t bitCount) {
    const std::uint64_t pixel = (std::uint64_t{1} << bitCount) - 1;
    std::uint32_t all = 0;
    for (std::size_t i = 0; i < masks.size(); ++i) {
        const std::uint32_t mask = masks[i];
        const Field field = FieldOf(mask);
        const std::uint64_t low = std::uint64_t{mask} >> field.shift;  // the run at bit 0
        const bool run = (low & (low + 1)) == 0;
        if ((mask == 0 && i < 3) || !run || (mask & ~pixel) != 0 || (all & mask) != 0) {
            return false;
        }
        all |= mask;
    }
    return true;
}

void UnpackRow(const StoredRows& stored, const std::uint8_t* row, std::int32_t width, bool alpha,
               std::uint8_t* out) {
    if (stored.bitCount < 8) {
        const int bits = stored.bitCount;
        const int perByte = 8 / bits;
        for (std::int32_t x = 0; x < width; ++x) {
            const int shift = 8 - bits * (x % perByte + 1);
            out[x] = static_cast<std::uint8_t>((row[x / perByte] >> shift) & ((1 << bits) - 1));
        }
        return;
    }
    const Field red = FieldOf(stored.masks[0]), green = FieldOf(stored.masks[1]),
                blue = FieldOf(stored.masks[2]), opacity = FieldOf(stored.masks[3]);
    const int bytes = stored.bitCount / 8;
    for (std::int32_t x = 0; x < width; ++x, row += bytes) {
        std::uint32_t word = 0;
        for (int b = bytes - 1; b >= 0; --b) {
            word = (word << 8) | row[b];
        }
        *out++ = Widen(word, blue);
        *out++ = Widen(word, green);
        *out++ = Widen(word, red);
        if (alpha) {
            *out++ = Widen(word, opacity);
        }
    }
}

}  // namespace bmp2tvx
