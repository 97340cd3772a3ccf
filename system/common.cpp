// The parts of the system layer that are the same on every system, written on top of the rest.
#include <algorithm>
#include <utility>

#include "family.h"
#include "messages.h"
#include "system.h"

namespace bmp2tvx {
namespace {

bool Fail(OutputFile& file, OutputProblem problem) {
    file.problem = problem;
    return false;
}

}  // namespace

bool OpenOutputFile(const std::string& path, OutputFile& file) {
    file.path = path;
    file.finalPath = path;
    switch (family::KindOfPath(path)) {
        case family::PathKind::Missing:
            break;
        case family::PathKind::Directory:
            return Fail(file, OutputProblem::Open);
        case family::PathKind::Other:
            // A device or a pipe cannot be replaced; write to it as it is.
            return family::OpenExisting(path, file.handle) || Fail(file, OutputProblem::Open);
        case family::PathKind::Regular:
            // Through a symbolic link, replace the file it names and keep the link.
            file.finalPath = family::ResolvedPath(path);
            break;
    }

    // A short hidden name in the same folder: moving it into place must not cross file systems
    // or drives, and a long output name must not make the temporary one too long.
    const std::string stem =
        FolderOf(file.finalPath) + ".bmp2tvx-" + std::to_string(family::ProcessId()) + ".tmp";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = attempt == 0 ? stem : stem + "." + std::to_string(attempt);
        bool taken = false;
        if (family::CreateTemporary(candidate, file.handle, taken)) {
            file.tempPath = std::move(candidate);
            return true;
        }
        if (!taken) {
            break;
        }
    }
    return Fail(file, OutputProblem::Open);
}

bool WriteOutputFile(OutputFile& file, std::span<const std::uint8_t> bytes) {
    while (file.problem == OutputProblem::None && !bytes.empty()) {
        std::size_t wrote = 0;
        if (!family::WriteSome(file.handle, bytes.data(),
                               std::min<std::size_t>(bytes.size(), 1u << 30), wrote)) {
            file.problem = OutputProblem::Write;
        }
        bytes = bytes.subspan(std::min(wrote, bytes.size()));
    }
    return file.problem == OutputProblem::None;
}

bool CommitOutputFile(OutputFile& file, bool complete) {
    if (file.handle != -1 && !family::CloseFile(file.handle)) {
        file.problem = OutputProblem::Write;
    }
    file.handle = -1;
    if (!complete && file.problem == OutputProblem::None) {
        file.problem = OutputProblem::Write;
    }
    const bool keep = file.problem == OutputProblem::None;
    if (!file.tempPath.empty() && !family::FinishTemporary(file.tempPath, file.finalPath, keep) &&
        keep) {
        file.problem = OutputProblem::Write;
    }
    file.tempPath.clear();
    if (file.problem != OutputProblem::None) {
        Report(file.problem == OutputProblem::Open ? Message::CouldNotOpen : Message::CouldNotWrite,
               {file.path});
    }
    return file.problem == OutputProblem::None;
}

OutputFile::~OutputFile() {
    if (handle != -1) {
        family::CloseFile(handle);
    }
    if (!tempPath.empty()) {
        family::FinishTemporary(tempPath, finalPath, false);
    }
}

bool OpenInputFile(const std::string& path, InputFile& file) {
    file = InputFile{};
    file.path = path;
    if (!family::OpenRegularFile(path, file.handle, file.size)) {
        Report(Message::CouldNotOpen, {path});
        return false;
    }
    return true;
}

InputFile FileInMemory(std::string path, std::vector<std::uint8_t> bytes) {
    InputFile file;
    file.size = bytes.size();
    file.path = std::move(path);
    file.bytes = std::move(bytes);
    return file;
}

bool ReadInputFileAt(const InputFile& file, std::uint64_t offset, std::uint8_t* buffer,
                     std::uint64_t size, std::uint64_t& got) {
    got = 0;
    if (file.handle == -1) {
        got = offset < file.size ? std::min(size, file.size - offset) : 0;
        std::copy_n(file.bytes.data() + std::min(offset, file.size), got, buffer);
        return true;
    }
    while (got < size) {
        std::size_t n = 0;
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - got, 1u << 30));
        if (!family::ReadSomeAt(file.handle, offset + got, buffer + got, chunk, n)) {
            Report(Message::CouldNotRead, {file.path});
            return false;
        }
        if (n == 0) {
            break;
        }
        got += n;
    }
    return true;
}

InputFile::InputFile(InputFile&& other) noexcept {
    *this = std::move(other);
}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    std::swap(handle, other.handle);
    std::swap(size, other.size);
    std::swap(path, other.path);
    std::swap(bytes, other.bytes);
    return *this;
}

InputFile::~InputFile() {
    if (handle != -1) {
        family::CloseFile(handle);
    }
}

bool IsRegularFile(const std::string& path) {
    return family::KindOfPath(path) == family::PathKind::Regular;
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
