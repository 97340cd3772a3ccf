// The colour-word loop for processors with AVX2, which does the three-byte shuffles sixteen pixels
// at a time. The build compiles this file alone for AVX2, and only where the system can say
// cheaply whether the processor has it; elsewhere color_words_plain.cpp stands in.
#include "color_words.h"
#include "system.h"

namespace bmp2tvx {

bool BgrToColor15Faster(const std::uint8_t* bgr, std::size_t count, std::uint8_t* out) {
    static const bool avx2 = ProcessorHasAvx2();
    if (avx2) {
        BgrToColor15Loop(bgr, count, out);
    }
    return avx2;
}

}  // namespace bmp2tvx
