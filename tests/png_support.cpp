#include "png_support.h"

#include <png.h>

namespace bmp2tvx::test {

Picture ReadPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Picture picture;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return picture;
    }
    image.format = PNG_FORMAT_RGBA;
    picture.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.rgba.data(), 0, nullptr)) {
        return {};
    }
    picture.width = image.width;
    picture.height = image.height;
    return picture;
}

}  // namespace bmp2tvx::test
