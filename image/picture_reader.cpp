#include "picture_reader.h"

#include <algorithm>
#include <utility>

namespace bmp2tvx {

bool IsBmpSignature(const std::uint8_t* head, std::uint64_t size) {
    return size >= 2 && head[0] == 'B' && head[1] == 'M';
}

bool IsPngSignature(const std::uint8_t* head, std::uint64_t size) {
    static constexpr std::uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    return size >= sizeof kSignature && std::equal(kSignature, kSignature + 8, head);
}

bool LoadPicture(InputFile file, SourceImage& image) {
    std::uint8_t head[8] = {};
    std::uint64_t got = 0;
    if (!ReadInputFileAt(file, 0, head, sizeof head, got)) {
        return false;
    }
    return IsPngSignature(head, got) ? LoadPng(std::move(file), image)
                                     : LoadBitmap(std::move(file), image);
}

}  // namespace bmp2tvx
