// Decodes a PNG file with libpng and does nothing else: every row in turn into one row buffer,
// indices unpacked to a byte each and 16-bit channels cut to 8 as bmp2tvx asks for them. This is
// the floor that bench/run.py measures bmp2tvx's reading of the same file against: what any
// program that reads the file must spend.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("Usage: png_decode FILE.png\n", stderr);
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "rb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> row;
    if (setjmp(png_jmpbuf(png))) {
        std::fclose(file);
        return 1;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_packing(png);
    png_set_strip_16(png);
    png_read_update_info(png, info);
    row.resize(png_get_rowbytes(png, info));
    for (png_uint_32 y = 0; y < png_get_image_height(png, info); ++y) {
        png_read_row(png, row.data(), nullptr);
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return 0;
}
