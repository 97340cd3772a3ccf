#include "picture_reader.h"

#include <algorithm>
#include <utility>

namespace bmp2tvx {

bool IsPngSignature(const std::uint8_t* head, std::size_t size) {
    static constexpr std::uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    return size >= sizeof kSignature && std::equal(kSignature, kSignature + 8, head);
}

bool IsBmpSignature(const std::uint8_t* head, std::uint64_t size) {
    return size >= 2 && head[0] == 'B' && head[1] == 'M';
}

bool LoadPicture(InputFile file, SourceImage& image) {
    std::uint8_t head[8] = {};
    std::uint64_t got = 0;
    if (!ReadInputFileAt(file, 0, head, sizeof head, got)) {
        return false;
    }
    return IsPngSignature(head, static_cast<std::size_t>(got)) ? LoadPng(std::move(file), image)
                                                               : LoadBitmap(std::move(file), image);
}

bool LoadPictureFromMemory(const char* name, const std::uint8_t* data, std::size_t size,
                           SourceImage& image) {
    return IsPngSignature(data, size) ? LoadPngFromMemory(name, data, size, image)
                                      : LoadBitmapFromMemory(name, data, size, image);
}

}  // namespace bmp2tvx
