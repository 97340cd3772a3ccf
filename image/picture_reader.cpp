#include "picture_reader.h"

#include <utility>

namespace bmp2tvx {

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
