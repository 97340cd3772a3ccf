#include "color.h"

#include "color_words.h"

namespace bmp2tvx {

void BgrToColor15(const std::uint8_t* bgr, std::size_t count, std::uint8_t* out) {
    if (!BgrToColor15Faster(bgr, count, out)) {
        BgrToColor15Loop(bgr, count, out);
    }
}

void BgrToColor15Plain(const std::uint8_t* bgr, std::size_t count, std::uint8_t* out) {
    BgrToColor15Loop(bgr, count, out);
}

}  // namespace bmp2tvx
