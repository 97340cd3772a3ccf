// Reading PNG files, with libpng.
//
// An indexed PNG (colour type 3, 1 to 8 bits) is read as an 8-bit BMP would be: its PLTE chunk
// is the colour table, in order, and its pixels the same indices, one byte each; the entries whose
// tRNS alpha is 0 are transparent. Every other PNG (grey, grey with alpha, RGB, RGBA, at any bit
// depth) is read as a 24-bit one: each channel taken to 8 bits (a 16-bit channel's high byte; grey
// below 8 bits by repeating its bits), with an alpha byte a pixel when the file has an alpha
// channel or a tRNS colour. A pixel that is neither fully transparent nor fully opaque is refused.
// Colours are used as stored: gamma, colour profiles and every other ancillary chunk are read
// past. A damaged file (a CRC, the compressed data, a missing chunk) is refused in one line.
//
// An indexed or interlaced picture is decoded once, whole, as it is loaded; any other is decoded
// row by row as the conversion reads it, from the top down, and so never held whole. A build
// without libpng takes png_reader_none.cpp instead.
#include "picture_reader.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "byte_order.h"
#include "messages.h"
#include "png_calls.h"

#include <csetjmp>

namespace bmp2tvx {

// What stopped a decoding, for its one line.
enum class PngProblem {
    None,
    Damaged,
    Truncated,
    ReadFailed,
    NoMemory,
    PartlyTransparent,
    NotMultipleOfEight,
};

struct PngDecoder {
    // The file's bytes, read ahead a block at a time so that libpng's many small reads cost no
    // system call each.
    InputFile file;
    std::vector<std::uint8_t> block;
    std::uint64_t blockStart = 0;  // the file offset of block[0]
    std::uint64_t position = 0;    // the next byte libpng takes
    std::string name;

    png_structp png = nullptr;
    png_infop info = nullptr;
    std::int32_t nextRow = 0;
    std::size_t rowBytes = 0;  // a decoded row: the picture's own pixels
    bool alpha = false;        // rows carry an alpha byte a pixel, checked as they come
    PngProblem problem = PngProblem::None;
    std::int32_t problemX = 0;
    std::int32_t problemY = 0;
};

namespace {

constexpr std::size_t kBlockBytes = 64 * 1024;

// libpng's functions; LoadPng has found them before any decoder is made.
const PngCalls& Png() {
    return *LoadPngCalls();
}

// What libpng jumps back to on an error, as png.h's png_jmpbuf gives it.
std::jmp_buf& JumpBuffer(png_structp png) {
    return *Png().png_set_longjmp_fn(png, std::longjmp, sizeof(std::jmp_buf));
}

// Fills `out` with the file's bytes from `offset` on, or makes the file ending first (or a read
// failing) the problem.
bool ReadAt(PngDecoder& d, std::uint64_t offset, std::uint8_t* out, std::size_t length) {
    if (offset + length > d.file.size) {
        d.problem = PngProblem::Truncated;
        return false;
    }
    while (length > 0) {
        if (offset < d.blockStart || offset >= d.blockStart + d.block.size()) {
            std::uint64_t got = 0;
            d.block.resize(kBlockBytes);
            if (!ReadInputFileAt(d.file, offset, d.block.data(), kBlockBytes, got)) {
                d.problem = PngProblem::ReadFailed;
                return false;
            }
            d.block.resize(static_cast<std::size_t>(got));
            d.blockStart = offset;
            if (got == 0) {
                d.problem = PngProblem::Truncated;  // the file shrank while it was read
                return false;
            }
        }
        const std::size_t at = static_cast<std::size_t>(offset - d.blockStart);
        const std::size_t n = std::min(length, d.block.size() - at);
        std::memcpy(out, d.block.data() + at, n);
        out += n;
        length -= n;
        offset += n;
    }
    return true;
}

// The file's next bytes, for libpng.
bool TakeBytes(PngDecoder& d, std::uint8_t* out, std::size_t length) {
    if (!ReadAt(d, d.position, out, length)) {
        return false;
    }
    d.position += length;
    return true;
}

// The bytes of compressed rows the file holds: every IDAT chunk's data, as far as the file goes.
// The chunks are walked by their headers alone: each is a 4-byte big-endian length, a 4-byte
// type, the data and a 4-byte checksum.
std::uint64_t CompressedBytes(PngDecoder& d) {
    constexpr std::uint64_t kSignatureBytes = 8;
    const std::uint64_t size = d.file.size;
    std::uint64_t total = 0;
    for (std::uint64_t at = kSignatureBytes; at + 8 <= size;) {
        // The headers alone are read, each on its own: the walk reads no more of the file.
        std::uint8_t head[8];
        std::uint64_t got = 0;
        if (!ReadInputFileAt(d.file, at, head, sizeof head, got)) {
            d.problem = PngProblem::ReadFailed;
        }
        if (got != sizeof head) {
            break;
        }
        const std::uint64_t length = std::uint64_t{head[0]} << 24 | std::uint64_t{head[1]} << 16 |
                                     std::uint64_t{head[2]} << 8 | head[3];
        if (std::memcmp(head + 4, "IDAT", 4) == 0) {
            total += std::min(length, size - at - 8);
        } else if (std::memcmp(head + 4, "IEND", 4) == 0) {
            break;
        }
        at += 12 + length;
    }
    return total;
}

// The bytes of the rows as the file stores them before they are compressed, a filter byte each;
// an interlaced picture's seven passes have rows of their own, each a narrower picture's. Adds up
// to no more than `cap`.
std::uint64_t StoredRowBytes(std::uint64_t width, std::uint64_t height, std::uint64_t bitsPerPixel,
                             bool interlaced, std::uint64_t cap) {
    struct Pass {
        std::uint64_t x0, dx, y0, dy;
    };
    static constexpr Pass kAdam7[] = {{0, 8, 0, 8}, {4, 8, 0, 8}, {0, 4, 4, 8}, {2, 4, 0, 4},
                                      {0, 2, 2, 4}, {1, 2, 0, 2}, {0, 1, 1, 2}};
    static constexpr Pass kWhole[] = {{0, 1, 0, 1}};
    std::uint64_t total = 0;
    for (const Pass& p :
         interlaced ? std::span<const Pass>(kAdam7) : std::span<const Pass>(kWhole)) {
        const std::uint64_t across = width > p.x0 ? (width - p.x0 + p.dx - 1) / p.dx : 0;
        const std::uint64_t rows = height > p.y0 ? (height - p.y0 + p.dy - 1) / p.dy : 0;
        if (across == 0 || rows == 0) {
            continue;  // a pass of no pixels stores no rows
        }
        const std::uint64_t row = 1 + (across * bitsPerPixel + 7) / 8;
        total = rows > (cap - total) / row ? cap : total + rows * row;
    }
    return total;
}

// Whether the picture the header announces can be read: sides that are multiples of 8, and rows
// that the compressed data can hold, deflate giving back at most 1,032 bytes a byte. A header
// claiming more is refused before libpng allocates a row of it, however wide it says the picture
// is.
bool SizeIsReadable(PngDecoder& d) {
    constexpr std::uint64_t kMostPerByte = 1032;
    const std::uint64_t width = Png().png_get_image_width(d.png, d.info);
    const std::uint64_t height = Png().png_get_image_height(d.png, d.info);
    if (width % 8 != 0 || height % 8 != 0) {
        d.problem = PngProblem::NotMultipleOfEight;
        return false;
    }
    const std::uint64_t room = (CompressedBytes(d) + 1) * kMostPerByte;
    const std::uint64_t bits = std::uint64_t{Png().png_get_channels(d.png, d.info)} *
                               Png().png_get_bit_depth(d.png, d.info);
    const bool interlaced = Png().png_get_interlace_type(d.png, d.info) != PNG_INTERLACE_NONE;
    if (d.problem == PngProblem::None &&
        StoredRowBytes(width, height, bits, interlaced, room + 1) > room) {
        d.problem = PngProblem::Truncated;
    }
    return d.problem == PngProblem::None;
}

void ReadBytes(png_structp png, png_bytep out, png_size_t length) {
    if (!TakeBytes(*static_cast<PngDecoder*>(Png().png_get_io_ptr(png)), out, length)) {
        Png().png_error(png, "read");
    }
}

// libpng's messages are not ours to print, only what went wrong. This must not return: libpng
// would print its message itself before it jumps back to the setjmp of the call under way.
[[noreturn]] void OnError(png_structp png, png_const_charp) {
    auto& d = *static_cast<PngDecoder*>(Png().png_get_error_ptr(png));
    if (d.problem == PngProblem::None) {
        d.problem = PngProblem::Damaged;
    }
    Png().png_longjmp(png, 1);
    std::abort();  // png_longjmp does not return, which its address no longer says
}

void OnWarning(png_structp, png_const_charp) {}

void Stop(PngDecoder& d) {
    if (d.png != nullptr) {
        Png().png_destroy_read_struct(&d.png, &d.info, nullptr);
    }
}

// Reads the header and asks for the picture's own pixels: indices a byte each, or blue, green,
// red (and alpha) bytes. Kept apart from everything with a destructor, as are the two functions
// below it, so that libpng's jump back to the setjmp skips nothing.
bool Start(PngDecoder& d) {
    Stop(d);
    d.position = 0;
    d.nextRow = 0;
    d.problem = PngProblem::None;
    d.png = Png().png_create_read_struct(PNG_LIBPNG_VER_STRING, &d, OnError, OnWarning);
    d.info = d.png != nullptr ? Png().png_create_info_struct(d.png) : nullptr;
    if (d.info == nullptr) {
        d.problem = PngProblem::NoMemory;
        return false;
    }
    if (setjmp(JumpBuffer(d.png))) {
        return false;
    }
    Png().png_set_read_fn(d.png, &d, ReadBytes);
    Png().png_set_crc_action(d.png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
    Png().png_set_user_limits(d.png, 0x7FFFFFFF, 0x7FFFFFFF);
    Png().png_read_info(d.png, d.info);
    if (!SizeIsReadable(d)) {
        return false;
    }
    const png_byte type = Png().png_get_color_type(d.png, d.info);
    if (type == PNG_COLOR_TYPE_PALETTE) {
        Png().png_set_packing(d.png);
        // An index past the end of PLTE is an entry the file does not supply, which is black as
        // in a BMP with a short colour table; libpng would only warn of it, after a look at
        // every pixel.
        Png().png_set_check_for_invalid_index(d.png, 0);
    } else {
        Png().png_set_expand_gray_1_2_4_to_8(d.png);
        if (Png().png_get_valid(d.png, d.info, PNG_INFO_tRNS) != 0) {
            Png().png_set_tRNS_to_alpha(d.png);
        }
        Png().png_set_strip_16(d.png);
        Png().png_set_gray_to_rgb(d.png);
        // Rows with alpha have their red and blue exchanged as their alpha is checked, in one
        // pass (SwapRedBlue); libpng exchanges those of the others.
        if ((type & PNG_COLOR_MASK_ALPHA) == 0 &&
            Png().png_get_valid(d.png, d.info, PNG_INFO_tRNS) == 0) {
            Png().png_set_bgr(d.png);
        }
    }
    Png().png_set_interlace_handling(d.png);
    Png().png_read_update_info(d.png, d.info);
    return true;
}

// Rows until `last` is decoded, and then the chunks after the pixels, up to the end of the file,
// whose checksums are checked as well.
bool DecodeRows(PngDecoder& d, std::uint8_t* out, std::int32_t count, bool last) {
    if (setjmp(JumpBuffer(d.png))) {
        return false;
    }
    for (std::int32_t r = 0; r < count; ++r) {
        Png().png_read_row(d.png, out + static_cast<std::size_t>(r) * d.rowBytes, nullptr);
    }
    if (last) {
        Png().png_read_end(d.png, nullptr);
    }
    return true;
}

bool DecodeWhole(PngDecoder& d, png_bytepp rows) {
    if (setjmp(JumpBuffer(d.png))) {
        return false;
    }
    Png().png_read_image(d.png, rows);
    Png().png_read_end(d.png, nullptr);
    return true;
}

// Prints the line for what stopped the decoding (a failed read has printed its own).
void ReportProblem(const PngDecoder& d) {
    switch (d.problem) {
        case PngProblem::None:
        case PngProblem::ReadFailed:
            return;
        case PngProblem::Damaged:
            return Report(Message::DamagedPng, {d.name});
        case PngProblem::Truncated:
            return Report(Message::Truncated, {d.name});
        case PngProblem::NoMemory:
            return Report(Message::NoMemoryToLoad, {d.name});
        case PngProblem::PartlyTransparent:
            return Report(Message::PartlyTransparent, {d.name, d.problemX, d.problemY});
        case PngProblem::NotMultipleOfEight:
            return Report(Message::NotMultipleOfEight, {d.name});
    }
}

// Makes the first pixel from the top left, in `count` rows of `width` pixels starting with row
// `y0`, whose alpha is neither 0 nor 255 the problem.
void NotePartlyTransparent(PngDecoder& d, const std::uint8_t* rows, std::int32_t y0,
                           std::int32_t count, std::size_t width, const std::uint8_t* alphaOf) {
    for (std::int32_t r = 0; r < count; ++r) {
        const std::uint8_t* row = rows + static_cast<std::size_t>(r) * d.rowBytes;
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint8_t a = alphaOf != nullptr ? alphaOf[row[x]] : row[4 * x + 3];
            if (a != 0 && a != 255) {
                d.problem = PngProblem::PartlyTransparent;
                d.problemX = static_cast<std::int32_t>(x);
                d.problemY = y0 + r;
                return;
            }
        }
    }
}

// Red, green, blue, alpha pixels to blue, green, red, alpha, and whether every alpha is 0 or
// 255: one pass of whole words over the rows, which compilers do many pixels at a time.
bool SwapRedBlue(PngDecoder& d, std::uint8_t* rows, std::int32_t y0, std::int32_t count) {
    const std::size_t pixels = static_cast<std::size_t>(count) * (d.rowBytes / 4);
    std::uint32_t partly = 0;
    for (std::uint8_t* p = rows; p < rows + 4 * pixels; p += 4) {
        const std::uint32_t rgba = LoadLittle32(p);  // red in the low byte, alpha in the high one
        partly |= (rgba >> 24) - 1 < 254;            // alpha 1 to 254
        StoreLittle32(p, (rgba & 0xFF00FF00u) | (rgba >> 16 & 0xFF) | (rgba & 0xFF) << 16);
    }
    if (partly != 0) {
        NotePartlyTransparent(d, rows, y0, count, d.rowBytes / 4, nullptr);
    }
    return partly == 0;
}

// Whether every pixel of an indexed picture's `count` rows from row `y0` is transparent or
// opaque, by the alpha of its colour-table entry.
bool AllOpaqueOrClear(PngDecoder& d, const std::uint8_t* rows, std::int32_t y0, std::int32_t count,
                      const std::uint8_t* alphaOf) {
    NotePartlyTransparent(d, rows, y0, count, d.rowBytes, alphaOf);
    return d.problem != PngProblem::PartlyTransparent;
}

// The picture's size, colours and transparency from the decoder's header.
Picture DescribePicture(PngDecoder& d, std::array<std::uint8_t, 256>& alphaOf) {
    Picture picture{static_cast<std::int32_t>(Png().png_get_image_width(d.png, d.info)),
                    static_cast<std::int32_t>(Png().png_get_image_height(d.png, d.info)),
                    TrueColorPicture{Png().png_get_channels(d.png, d.info) == 4}, d.name};
    alphaOf.fill(255);
    png_bytep trans = nullptr;
    int transCount = 0;
    Png().png_get_tRNS(d.png, d.info, &trans, &transCount, nullptr);
    if (Png().png_get_color_type(d.png, d.info) == PNG_COLOR_TYPE_PALETTE) {
        IndexedPicture indexed;
        png_colorp palette = nullptr;
        int entries = 0;
        Png().png_get_PLTE(d.png, d.info, &palette, &entries);
        indexed.supplied = std::min(entries, 256);
        indexed.indexBits = Png().png_get_bit_depth(d.png, d.info);
        for (int i = 0; i < indexed.supplied; ++i) {
            indexed.table[i] = ColorEntry{palette[i].blue, palette[i].green, palette[i].red};
        }
        for (int i = 0; trans != nullptr && i < std::min(transCount, 256); ++i) {
            alphaOf[i] = trans[i];
            indexed.transparent[i] = trans[i] == 0;
        }
        picture.colors = indexed;
    }
    d.rowBytes = static_cast<std::size_t>(picture.width) * BytesPerPixel(picture);
    d.alpha = BytesPerPixel(picture) == 4;
    return picture;
}

// Decodes the whole picture into memory, for the pictures read whole.
bool DecodeIntoMemory(PngDecoder& d, SourceImage& image,
                      const std::array<std::uint8_t, 256>& alphaOf) {
    const std::int32_t height = image.picture.height;
    Storage pixels =
        AllocateStorage(std::uint64_t{d.rowBytes} * static_cast<std::uint64_t>(height));
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    if (!pixels) {
        Report(Message::NoMemoryToLoad, {d.name});
        return false;
    }
    for (std::size_t y = 0; y < rows.size(); ++y) {
        rows[y] = pixels.get() + y * d.rowBytes;
    }
    const bool partly = std::any_of(alphaOf.begin(), alphaOf.end(),
                                    [](std::uint8_t a) { return a != 0 && a != 255; });
    if (!DecodeWhole(d, rows.data()) ||
        (partly && !AllOpaqueOrClear(d, pixels.get(), 0, height, alphaOf.data())) ||
        (d.alpha && !SwapRedBlue(d, pixels.get(), 0, height))) {
        ReportProblem(d);
        return false;
    }
    image.rows = RowSource{RowsInMemory{std::move(pixels)}, true};
    return true;
}

bool LoadFromDecoder(std::unique_ptr<PngDecoder, PngDecoderRelease> decoder, SourceImage& image) {
    PngDecoder& d = *decoder;
    std::array<std::uint8_t, 256> alphaOf{};
    if (!Start(d)) {
        ReportProblem(d);
        return false;
    }
    image.picture = DescribePicture(d, alphaOf);
    const bool whole = KindOf(image.picture) == SourceKind::Index ||
                       Png().png_get_interlace_type(d.png, d.info) != PNG_INTERLACE_NONE;
    if (whole) {
        return DecodeIntoMemory(d, image, alphaOf);
    }
    image.rows = RowSource{RowsInPng{std::move(decoder)}, true};
    return true;
}

}  // namespace

void PngDecoderRelease::operator()(PngDecoder* decoder) const {
    Stop(*decoder);
    delete decoder;
}

bool LoadPng(InputFile file, SourceImage& image) {
    if (LoadPngCalls() == nullptr) {
        Report(Message::NoPngLibrary, {file.path, PngLibraryName()});
        return false;
    }
    std::unique_ptr<PngDecoder, PngDecoderRelease> decoder(new PngDecoder);
    decoder->name = file.path;
    decoder->file = std::move(file);
    return LoadFromDecoder(std::move(decoder), image);
}

bool ReadPngRows(PngDecoder& d, std::int32_t first, std::int32_t count, std::uint8_t* out) {
    if (first != d.nextRow && (first != 0 || !Start(d))) {
        ReportProblem(d);
        return false;
    }
    if (!DecodeRows(d, out, count,
                    first + count ==
                        static_cast<std::int32_t>(Png().png_get_image_height(d.png, d.info))) ||
        (d.alpha && !SwapRedBlue(d, out, first, count))) {
        ReportProblem(d);
        return false;
    }
    d.nextRow = first + count;
    return true;
}

}  // namespace bmp2tvx
