#include "tileimage/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace bmp2tvx {
namespace {

void ReportOpen(const OutputFile& file) {
    std::fprintf(stderr, "Could not open %s.\n", file.path.c_str());
}

// Puts the finished temporary file at `target`. Renaming over an existing file makes ext4 flush
// the new file's data to disk first (to protect programs that rewrite files in place from
// crashes), which costs more than the whole conversion. Exchanging the two names and then
// removing the old file avoids that flush; either way, the target always holds a complete file.
bool MoveIntoPlace(const std::string& temp, const std::string& target) {
#ifdef RENAME_EXCHANGE
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
        ::unlink(temp.c_str());  // now the previous output
        return true;
    }
#endif
    return std::rename(temp.c_str(), target.c_str()) == 0;
}

}  // namespace

void FailOutputFile(OutputFile& file) {
    if (!file.failed) {
        std::fprintf(stderr, "Could not write %s.\n", file.path.c_str());
    }
    file.failed = true;
}

bool OpenOutputFile(const std::string& path, OutputFile& file) {
    file = OutputFile{};
    file.path = path;
    file.finalPath = path;

    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            ReportOpen(file);
            return false;
        }
        if (!S_ISREG(info.st_mode)) {
            // A device or a pipe cannot be replaced; write to it as it is.
            file.fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            if (file.fd < 0) {
                ReportOpen(file);
                return false;
            }
            return true;
        }
        // Through a symbolic link, replace the file it names and keep the link.
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr) {
            file.finalPath = resolved;
        }
    }

    // A short hidden name in the same folder: the rename that follows must not cross file
    // systems, and a long output name must not make the temporary one too long.
    const std::size_t slash = file.finalPath.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "" : file.finalPath.substr(0, slash + 1);
    const std::string stem = folder + ".bmp2tvx-" + std::to_string(::getpid()) + ".tmp";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = attempt == 0 ? stem : stem + "." + std::to_string(attempt);
        file.fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file.fd >= 0) {
            file.tempPath = std::move(candidate);
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    ReportOpen(file);
    return false;
}

bool WriteOutputFile(OutputFile& file, std::span<const std::uint8_t> bytes) {
    if (file.failed) {
        return false;
    }
    while (!bytes.empty()) {
        const ssize_t wrote = ::write(file.fd, bytes.data(), bytes.size());
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            FailOutputFile(file);
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(wrote));
    }
    return true;
}

bool CloseOutputFile(OutputFile& file) {
    if (file.fd >= 0 && ::close(file.fd) != 0) {
        FailOutputFile(file);
    }
    file.fd = -1;
    if (file.tempPath.empty()) {
        return !file.failed;
    }
    if (!file.failed && !MoveIntoPlace(file.tempPath, file.finalPath)) {
        FailOutputFile(file);
    }
    if (file.failed) {
        ::unlink(file.tempPath.c_str());
        return false;
    }
    return true;
}

}  // namespace bmp2tvx
