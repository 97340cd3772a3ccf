// The tools on POSIX systems: Linux, macOS, the BSDs. Linux gets a few fast paths of its own
// (huge pages, exchanging names); every other system, and a Linux build with BMP2TVX_PORTABLE,
// takes the generic path: ordinary memory and an atomic rename over the target.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__linux__) && !defined(BMP2TVX_PORTABLE)
#include <sys/mman.h>
#if defined(__x86_64__) && __has_include(<sys/platform/x86.h>)
// glibc's header is written for C, which spells the truth type _Bool.
#define _Bool bool
#include <sys/platform/x86.h>
#undef _Bool
#endif
#define BMP2TVX_LINUX_FAST_PATHS 1
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <new>

#include "family.h"
#include "system.h"

namespace bmp2tvx {
namespace {

// ---- Interrupts ----

// The temporary file being written, if any, for the signal handler to remove. The name is only
// changed while interrupts are held back.
std::string pendingName;
std::atomic<const char*> pendingTemporary{nullptr};

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void RemoveTemporaryAndDie(int signal) {
    if (const char* path = pendingTemporary.load()) {
        ::unlink(path);
    }
    // Die of the same signal, so that whoever started us sees how the run ended.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Holds the interrupts back while a temporary file is made or moved, so that the handler never
// sees a file that exists but is not yet recorded, or one that has already been moved into place.
struct InterruptsHeld {
    sigset_t previous;
    InterruptsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int s : kInterrupts) {
            sigaddset(&held, s);
        }
        ::sigprocmask(SIG_BLOCK, &held, &previous);
    }
    ~InterruptsHeld() { ::sigprocmask(SIG_SETMASK, &previous, nullptr); }
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};

// Puts the finished temporary file at `target`. On Linux, renaming over an existing file makes
// ext4 flush the new file's data to disk first (to protect programs that rewrite files in place
// from crashes), which costs more than the whole conversion. Exchanging the two names and then
// removing the old file avoids that flush; either way, the target always holds a complete file.
bool MoveIntoPlace(const std::string& temp, const std::string& target) {
#if defined(BMP2TVX_LINUX_FAST_PATHS) && defined(RENAME_EXCHANGE)
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
        ::unlink(temp.c_str());  // now the previous output
        return true;
    }
#endif
    return std::rename(temp.c_str(), target.c_str()) == 0;
}

}  // namespace

// ---- The program ----

int RunProgram(int argc, char** argv, int (*run)(int argc, const char* const* argv)) {
    struct sigaction action {};
    action.sa_handler = RemoveTemporaryAndDie;
    sigemptyset(&action.sa_mask);
    for (const int s : kInterrupts) {
        struct sigaction previous {};
        // A signal the shell told us to ignore (a background job's SIGINT, nohup's SIGHUP) stays
        // ignored.
        if (::sigaction(s, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
            ::sigaction(s, &action, nullptr);
        }
    }
    return run(argc, argv);
}

void family::WriteLine(bool standardOutput, const std::string& line) {
    std::FILE* stream = standardOutput ? stdout : stderr;
    std::fwrite(line.data(), 1, line.size(), stream);
    if (standardOutput) {
        std::fflush(stream);
    }
}

bool ProcessorHasAvx2() {
#if defined(BMP2TVX_LINUX_FAST_PATHS) && defined(__x86_64__) && __has_include(<sys/platform/x86.h>)
    return CPU_FEATURE_ACTIVE(AVX2);
#else
    return false;
#endif
}

// ---- Memory ----

void StorageRelease::operator()(std::uint8_t* bytes) const {
#ifdef BMP2TVX_LINUX_FAST_PATHS
    if (mapping != nullptr) {
        ::munmap(mapping, mappedBytes);
        return;
    }
#endif
    delete[] bytes;
}

Storage AllocateStorage(std::uint64_t size) {
    if (size > SIZE_MAX / 2) {
        return Storage(nullptr, StorageRelease{});
    }
#ifdef BMP2TVX_LINUX_FAST_PATHS
    // A fresh 4 KiB page costs a fault on first touch; a huge page costs one fault for 2 MiB, and
    // its virtual range nothing until then. So every block from a few hundred KiB up goes on huge
    // pages, its last one included when the block uses a good part of it: the unused rest of that
    // page (at most 2 MiB less this threshold) is the price.
    constexpr std::uint64_t kHugePage = 2u << 20;
    constexpr std::uint64_t kHugeFrom = 512u << 10;
    if (size >= kHugeFrom) {
        // Map a little more than asked, so that the block can start on a huge-page boundary.
        const std::size_t rounded =
            static_cast<std::size_t>((size + kHugePage - 1) & ~(kHugePage - 1));
        const std::size_t mapped = rounded + kHugePage;
        void* mapping =
            ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED) {
            return Storage(nullptr, StorageRelease{});
        }
        const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(mapping);
        const std::uintptr_t aligned =
            (start + kHugePage - 1) & ~static_cast<std::uintptr_t>(kHugePage - 1);
        const std::uint64_t whole = size & ~(kHugePage - 1);
        const std::uint64_t advised = size - whole >= kHugeFrom ? rounded : whole;
        if (advised > 0) {
            ::madvise(reinterpret_cast<void*>(aligned), static_cast<std::size_t>(advised),
                      MADV_HUGEPAGE);
        }
        return Storage(reinterpret_cast<std::uint8_t*>(aligned), StorageRelease{mapped, mapping});
    }
#endif
    return Storage(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)],
                   StorageRelease{});
}

// ---- Reading files ----

namespace family {

bool OpenRegularFile(const std::string& path, std::intptr_t& handle, std::uint64_t& size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    handle = fd;
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool ReadSomeAt(std::intptr_t handle, std::uint64_t offset, std::uint8_t* buffer, std::size_t size,
                std::size_t& got) {
    got = 0;
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
        return true;  // past anything the system can address: the file ends before that
    }
    for (;;) {
        const ssize_t n =
            ::pread(static_cast<int>(handle), buffer, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        got = n > 0 ? static_cast<std::size_t>(n) : 0;
        return n >= 0;
    }
}

}  // namespace family

bool IsSameFile(const InputFile& file, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(static_cast<int>(file.handle), &opened) == 0 &&
           ::stat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

// ---- Writing files ----

namespace family {

PathKind KindOfPath(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return PathKind::Missing;
    }
    return S_ISDIR(info.st_mode)   ? PathKind::Directory
           : S_ISREG(info.st_mode) ? PathKind::Regular
                                   : PathKind::Other;
}

std::string ResolvedPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return path;
    }
    std::string result = resolved;
    std::free(resolved);
    return result;
}

bool OpenExisting(const std::string& path, std::intptr_t& handle) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    handle = fd;
    return fd >= 0;
}

bool CreateTemporary(const std::string& path, std::intptr_t& handle, bool& taken) {
    const InterruptsHeld held;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    taken = fd < 0 && errno == EEXIST;
    handle = fd;
    if (fd < 0) {
        return false;
    }
    pendingName = path;
    pendingTemporary.store(pendingName.c_str());
    return true;
}

bool WriteSome(std::intptr_t handle, const std::uint8_t* bytes, std::size_t size,
               std::size_t& wrote) {
    for (;;) {
        const ssize_t n = ::write(static_cast<int>(handle), bytes, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        wrote = n > 0 ? static_cast<std::size_t>(n) : 0;
        return n > 0;
    }
}

bool CloseFile(std::intptr_t handle) {
    return ::close(static_cast<int>(handle)) == 0;
}

bool FinishTemporary(const std::string& temp, const std::string& target, bool keep) {
    const InterruptsHeld held;
    const bool moved = keep && MoveIntoPlace(temp, target);
    if (!moved) {
        ::unlink(temp.c_str());
    }
    pendingTemporary.store(nullptr);
    pendingName.clear();
    return moved;
}

std::uint64_t ProcessId() {
    return static_cast<std::uint64_t>(::getpid());
}

}  // namespace family

void* OpenSharedLibrary(const char* name) {
    return ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

void* SharedLibrarySymbol(void* library, const char* name) {
    return ::dlsym(library, name);
}

}  // namespace bmp2tvx
