#include "png_support.h"

#include <png.h>

#include <zlib.h>

#include <csetjmp>

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

namespace {

void Append(png_structp png, png_bytep data, png_size_t length) {
    auto& out = *static_cast<Bytes*>(png_get_io_ptr(png));
    out.insert(out.end(), data, data + length);
}

void Flush(png_structp) {}

}  // namespace

Bytes BuildPng(const PngSpec& spec) {
    static constexpr int kChannels[] = {1, 0, 3, 1, 2, 0, 4};
    const std::size_t rowBytes = spec.width * static_cast<std::size_t>(kChannels[spec.colorType]) *
                                 (spec.bitDepth == 16 ? 2 : 1);
    std::vector<png_bytep> rows;
    for (std::uint32_t y = 0; y < spec.height; ++y) {
        rows.push_back(const_cast<png_bytep>(spec.samples.data()) + y * rowBytes);
    }
    std::vector<png_color> palette;
    for (const ColorEntry& c : spec.palette) {
        palette.push_back({c.red, c.green, c.blue});
    }
    Bytes alphas(spec.trns.begin(), spec.trns.end());
    png_color_16 colour{};
    colour.gray = colour.red = spec.trns.empty() ? 0 : spec.trns[0];
    colour.green = spec.trns.size() == 3 ? spec.trns[1] : 0;
    colour.blue = spec.trns.size() == 3 ? spec.trns[2] : 0;

    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, Append, Flush);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colorType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) {
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    }
    if (!spec.trns.empty()) {
        png_set_tRNS(png, info, alphas.data(), static_cast<int>(alphas.size()), &colour);
    }
    png_write_info(png, info);
    if (spec.bitDepth < 8) {
        png_set_packing(png);
    }
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

namespace {

void PutBig32(Bytes& out, std::uint32_t word) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(word >> shift));
    }
}

// A chunk: its length, type, data and the checksum of type and data.
void PutChunk(Bytes& out, const char* type, const Bytes& data) {
    PutBig32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBig32(out, static_cast<std::uint32_t>(
                      crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

}  // namespace

Bytes ClaimingPng(std::uint32_t width, std::uint32_t height, int colorType, int bitDepth,
                  bool interlaced, const Bytes& rows) {
    Bytes out = {137, 80, 78, 71, 13, 10, 26, 10};
    Bytes header;
    PutBig32(header, width);
    PutBig32(header, height);
    header.insert(header.end(),
                  {static_cast<std::uint8_t>(bitDepth), static_cast<std::uint8_t>(colorType), 0, 0,
                   static_cast<std::uint8_t>(interlaced ? 1 : 0)});
    PutChunk(out, "IHDR", header);
    if (colorType == 3) {
        PutChunk(out, "PLTE", {0, 0, 0, 255, 255, 255});
    }
    uLongf packed = compressBound(static_cast<uLong>(rows.size()));
    Bytes data(packed);
    compress(data.data(), &packed, rows.data(), static_cast<uLong>(rows.size()));
    data.resize(packed);
    PutChunk(out, "IDAT", data);
    PutChunk(out, "IEND", {});
    return out;
}

}  // namespace bmp2tvx::test
