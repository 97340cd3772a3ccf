// Feeds arbitrary bytes through the tool's own conversion: load, then everything the tool does to
// a loaded picture, encoding included. Each input is converted twice, once from memory and once
// from a file whose pixels are read as they are encoded, and the two must agree exactly.
// The last four bytes also choose the settings, so any valid BMP is a useful seed as it is.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "convert.h"
#include "picture_reader.h"
#include "system.h"
#include "tile_encoder.h"

namespace {

struct Result {
    bool loaded = false;
    std::optional<bmp2tvx::TargetFormat> written;
    std::vector<std::uint8_t> file;
};

Result Convert(bool loaded, bmp2tvx::SourceImage image,
               const bmp2tvx::ConversionSettings& settings) {
    Result result;
    result.loaded = loaded;
    std::optional<bmp2tvx::PreparedPicture> prepared;
    if (loaded) {
        prepared = bmp2tvx::PreparePicture(std::move(image), settings);
    }
    if (prepared &&
        bmp2tvx::EncodeTileImage(prepared->picture, prepared->plan.target, result.file).outcome ==
            bmp2tvx::Outcome::Complete) {
        result.written = prepared->plan.target;
    }
    return result;
}

// One scratch file for the whole run, in the system's temporary folder, removed at the end.
const std::string& ScratchPath() {
    static const std::string path = [] {
        std::random_device seed;
        const auto name = "bmp2tvx-fuzz-" + std::to_string(seed()) + std::to_string(seed());
        return (std::filesystem::temp_directory_path() / name).string();
    }();
    // Registered once `path` is complete, so that it runs before `path` is destroyed.
    static const bool removedAtExit = [] {
        return std::atexit([] {
                   std::error_code ignored;
                   std::filesystem::remove(ScratchPath(), ignored);
               }) == 0;
    }();
    (void)removedAtExit;
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace bmp2tvx;
    std::uint8_t choice[4] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < 4 && i < size; ++i) {
        choice[i] = data[size - 1 - i];
    }
    // Keys reach outside 0..255 too: -128 to 383 in steps of 2.
    const auto key = [](std::uint8_t b) { return static_cast<std::int32_t>(b) * 2 - 128; };
    constexpr std::int32_t kDepths[] = {-1, 4, 8, 16};
    ConversionSettings settings;
    settings.targetDepth = kDepths[choice[0] & 3];
    settings.keyRed = key(choice[1]);
    settings.keyGreen = key(choice[2]);
    settings.keyBlue = key(choice[3]);

    SourceImage inMemory;
    const Result fromMemory = Convert(LoadPictureFromMemory("fuzz.bmp", data, size, inMemory),
                                      std::move(inMemory), settings);
    {
        std::ofstream out(ScratchPath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    SourceImage onFile;
    InputFile file;
    const Result fromFile =
        Convert(OpenInputFile(ScratchPath(), file) && LoadPicture(std::move(file), onFile),
                std::move(onFile), settings);
    if (fromMemory.loaded != fromFile.loaded || fromMemory.written != fromFile.written ||
        fromMemory.file != fromFile.file) {
        std::abort();  // the two ways of reading a picture disagree
    }
    return 0;
}
