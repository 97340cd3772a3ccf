#include "image/source_image.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace bmp2tvx {

const char* SourceKindName(SourceKind kind) {
    return kind == SourceKind::Index ? "Index" : "FullColor";
}

void StorageRelease::operator()(std::uint8_t* bytes) const {
    if (mapping != nullptr) {
        ::munmap(mapping, mappedBytes);
    } else {
        delete[] bytes;
    }
}

Storage AllocateStorage(std::uint64_t size) {
    constexpr std::uint64_t kHugePage = 2u << 20;
    if (size < kHugePage) {
        return Storage(new (std::nothrow) std::uint8_t[size], StorageRelease{});
    }
    if (size > SIZE_MAX - 2 * kHugePage) {
        return Storage(nullptr, StorageRelease{});
    }
    // Map a little more than asked, so that the block can start on a huge-page boundary.
    const std::size_t rounded = static_cast<std::size_t>((size + kHugePage - 1) & ~(kHugePage - 1));
    const std::size_t mapped = rounded + kHugePage;
    void* mapping =
        ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) {
        return Storage(nullptr, StorageRelease{});
    }
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(mapping);
    const std::uintptr_t aligned =
        (start + kHugePage - 1) & ~static_cast<std::uintptr_t>(kHugePage - 1);
    // Only whole huge pages are worth it: a partly used one would hold up to 2 MiB for nothing.
    ::madvise(reinterpret_cast<void*>(aligned), static_cast<std::size_t>(size & ~(kHugePage - 1)),
              MADV_HUGEPAGE);
    return Storage(reinterpret_cast<std::uint8_t*>(aligned), StorageRelease{mapped, mapping});
}

}  // namespace bmp2tvx
