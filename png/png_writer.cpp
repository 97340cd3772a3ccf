#include "png_writer.h"

#include <png.h>

#include <csetjmp>
#include <span>
#include <vector>

#include "system.h"

namespace bmp2tvx {
namespace {

void WriteBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* file = static_cast<OutputFile*>(png_get_io_ptr(png));
    if (!WriteOutputFile(*file, std::span<const std::uint8_t>(data, length))) {
        png_error(png, "write failed");
    }
}

void Flush(png_structp) {}

// libpng reports errors by jumping back to the setjmp below; its messages are not ours to print.
void Silent(png_structp, png_const_charp) {}

// Kept apart from WritePng so that no object with a destructor lives in the frame that setjmp
// marks: a longjmp out of libpng then skips nothing.
bool Encode(OutputFile& file, std::uint32_t width, std::uint32_t height,
            const std::uint8_t* const* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, Silent);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &file, WriteBytes, Flush);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, const_cast<png_bytepp>(rows));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool WritePng(const std::string& path, std::uint32_t width, std::uint32_t height,
              const std::uint8_t* rgba) {
    std::vector<const std::uint8_t*> rows(height);
    for (std::uint32_t y = 0; y < height; ++y) {
        rows[y] = rgba + std::size_t{y} * width * 4;
    }
    OutputFile file;
    const bool encoded = OpenOutputFile(path, file) && Encode(file, width, height, rows.data());
    return CommitOutputFile(file, encoded);
}

}  // namespace bmp2tvx
