#include "scratch_file.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace bmp2tvx::fuzz {
namespace {

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

const std::string& WriteScratchFile(const std::uint8_t* data, std::size_t size) {
    std::ofstream out(ScratchPath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return ScratchPath();
}

}  // namespace bmp2tvx::fuzz
