// Builds without a faster copy of the colour-word loop: the plain one always runs.
#include "color_words.h"

namespace bmp2tvx {

bool BgrToColor15Faster(const std::uint8_t*, std::size_t, std::uint8_t*) {
    return false;
}

}  // namespace bmp2tvx
