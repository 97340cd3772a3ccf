#include "image/file_read.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>

namespace bmp2tvx {

std::int64_t ReadFully(int fd, std::uint8_t* buffer, std::uint64_t size) {
    std::uint64_t done = 0;
    while (done < size) {
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - done, 1u << 30));
        const ssize_t got = ::read(fd, buffer + done, chunk);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::uint64_t>(got);
    }
    return static_cast<std::int64_t>(done);
}

}  // namespace bmp2tvx
