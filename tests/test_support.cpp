#include "test_support.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>

#include <gtest/gtest.h>

#include "picture_reader.h"
#include "pixels.h"

namespace bmp2tvx::test {

void Poke32(Bytes& file, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        file[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void Poke16(Bytes& file, std::size_t offset, std::uint16_t value) {
    file[offset] = static_cast<std::uint8_t>(value);
    file[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

Bytes BuildBmp(const BmpSpec& spec) {
    const std::size_t width = static_cast<std::size_t>(spec.width);
    const std::size_t rowBytes =
        spec.bitCount < 8 ? (width * spec.bitCount + 31) / 32 * 4 : width * (spec.bitCount / 8u);
    const std::size_t pixelBytes = rowBytes * static_cast<std::size_t>(spec.height);
    const std::size_t pixelOffset = 14 + spec.infoSize + 4 * spec.table.size() + spec.gap;
    Bytes file(pixelOffset + pixelBytes, 0);
    file[0] = 'B';
    file[1] = 'M';
    Poke32(file, 2, static_cast<std::uint32_t>(file.size()));
    Poke32(file, 10, static_cast<std::uint32_t>(pixelOffset));
    Poke32(file, 14, spec.infoSize);
    Poke32(file, 18, static_cast<std::uint32_t>(spec.width));
    Poke32(file, 22, static_cast<std::uint32_t>(spec.topDown ? -spec.height : spec.height));
    Poke16(file, 26, 1);
    Poke16(file, 28, spec.bitCount);
    Poke32(file, 30, spec.compression);
    Poke32(file, 46, static_cast<std::uint32_t>(spec.table.size()));
    // The longer info headers carry more fields; fill them with a pattern that must be ignored.
    for (std::size_t i = 54; i < 14 + spec.infoSize; ++i) {
        file[i] = static_cast<std::uint8_t>(0xA5);
    }
    std::size_t at = 14 + spec.infoSize;
    for (const ColorEntry& c : spec.table) {
        file[at++] = c.blue;
        file[at++] = c.green;
        file[at++] = c.red;
        file[at++] = 0;
    }
    for (std::size_t i = 0; i < spec.gap; ++i) {
        file[at++] = 0x5A;
    }
    if (!spec.pixels.empty()) {
        for (std::int32_t y = 0; y < spec.height; ++y) {
            const std::int32_t stored = spec.topDown ? y : spec.height - 1 - y;
            std::copy_n(
                spec.pixels.begin() + static_cast<std::ptrdiff_t>(rowBytes) * y, rowBytes,
                file.begin() + static_cast<std::ptrdiff_t>(
                                   pixelOffset + rowBytes * static_cast<std::size_t>(stored)));
        }
    }
    return file;
}

SourceImage LoadBmp(const BmpSpec& spec, const char* name) {
    SourceImage image;
    EXPECT_TRUE(LoadPicture(FileInMemory(name, BuildBmp(spec)), image));
    return image;
}

bool LoadBitmapFile(const std::string& path, SourceImage& image) {
    InputFile file;
    return OpenInputFile(path, file) && LoadPicture(std::move(file), image);
}

Bytes RowsFromTop(SourceImage& image) {
    Bytes rows;
    const std::size_t rowBytes =
        static_cast<std::size_t>(image.picture.width) * BytesPerPixel(image.picture);
    EXPECT_EQ(VisitBands(image,
                         [&](const Strip& band) {
                             for (std::ptrdiff_t r = 0; r < 8; ++r) {
                                 const std::uint8_t* row = band.top + r * band.down;
                                 rows.insert(rows.end(), row, row + rowBytes);
                             }
                             return true;
                         }),
              PixelWalk::Finished);
    return rows;
}

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

namespace {

std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

TempDir::TempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
        const std::filesystem::path candidate = base / ("bmp2tvx-test-" + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            path = Utf8Of(candidate);
            return;
        }
        if (error) {
            std::cerr << "cannot make a scratch folder in " << Utf8Of(base) << "\n";
            std::abort();
        }
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(PathOf(path), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(PathOf(path), ignored);
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(PathOf(path), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::symlink_status(PathOf(path), error).type() !=
           std::filesystem::file_type::not_found;
}

std::vector<std::string> ListDir(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(PathOf(path))) {
        names.push_back(Utf8Of(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::map<std::string, Bytes> Snapshot(const std::string& dir) {
    std::map<std::string, Bytes> files;
    for (const std::string& name : ListDir(dir)) {
        const std::filesystem::path path = PathOf(dir + "/" + name);
        std::error_code error;
        switch (std::filesystem::symlink_status(path, error).type()) {
            case std::filesystem::file_type::regular:
                files[name] = ReadFile(dir + "/" + name);
                break;
            case std::filesystem::file_type::symlink: {
                const std::string target = "-> " + Utf8Of(std::filesystem::read_symlink(path));
                files[name] = Bytes(target.begin(), target.end());
                break;
            }
            case std::filesystem::file_type::directory:
                files[name] = {};
                for (const auto& [inner, bytes] : Snapshot(dir + "/" + name)) {
                    files[name + "/" + inner] = bytes;
                }
                break;
            default:
                files[name] = {};
        }
    }
    return files;
}

void ExpectPeakMemoryBelow(const RunResult& run, long limitKiB) {
    if (run.peakMemoryKiB < 0) {
        static bool said = false;
        if (!said) {
            std::cout << "[ NOT CHECKED ] peak memory: this system gives no figure for a "
                         "process that has ended"
                      << std::endl;
            said = true;
        }
        return;
    }
    EXPECT_LT(run.peakMemoryKiB, limitKiB);
}

void SkipCase(const std::string& name, const std::string& reason) {
    std::cout << "[ CASE SKIPPED ] \"" << name << "\": " << reason << std::endl;
}

Bytes ConvertInMemory(const Bytes& bmp, const std::vector<std::string>& flags) {
    TempDir dir;
    WriteFile(dir / "in.bmp", bmp);
    std::vector<std::string> args = flags;
    args.push_back("in.bmp");
    const RunResult run = RunTool(args, dir.path);
    if (run.status != 0) {
        return {};
    }
    return ReadFile(dir / "in.tvx");
}

}  // namespace bmp2tvx::test
