// The parts of the system layer that are the same on every system, written on top of the rest.
#include "system/system.h"

namespace bmp2tvx {

std::string FolderOf(const std::string& path) {
#ifdef _WIN32
    const std::size_t end = path.find_last_of("\\/:");
#else
    const std::size_t end = path.rfind('/');
#endif
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

}  // namespace bmp2tvx
