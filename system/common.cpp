// The parts of the system layer that are the same on every system, written on top of the rest.
#include "system/system.h"

namespace bmp2tvx {

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    InputFile file;
    if (!OpenInputFile(path, file)) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(file.size));
    std::uint64_t got = 0;
    const bool read = ReadInputFile(file, bytes.data(), bytes.size(), got);
    CloseInputFile(file);
    bytes.resize(static_cast<std::size_t>(got));
    return read;
}

std::string FolderOf(const std::string& path) {
#ifdef _WIN32
    const std::size_t end = path.find_last_of("\\/:");
#else
    const std::size_t end = path.rfind('/');
#endif
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

}  // namespace bmp2tvx
