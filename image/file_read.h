// Reading files in large blocks.
#pragma once

#include <cstdint>

namespace bmp2tvx {

// Reads `size` bytes from `fd` in as few calls as the system allows, stopping early only where
// the file ends. Returns the number of bytes read, or -1 if reading failed.
std::int64_t ReadFully(int fd, std::uint8_t* buffer, std::uint64_t size);

}  // namespace bmp2tvx
