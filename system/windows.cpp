// The tools on Windows. Paths arrive as UTF-16 from the system and are kept as UTF-8 inside;
// every file is opened through the wide-character API, in binary, so no byte is translated.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which they need.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <new>

#include "family.h"
#include "messages.h"
#include "system.h"
#include "text.h"

namespace bmp2tvx {
namespace {

std::wstring Wide(const std::string& utf8) {
    const std::u16string text = Utf8ToUtf16(utf8);
    return std::wstring(text.begin(), text.end());
}

std::string Narrow(const wchar_t* wide) {
    std::u16string text;
    for (; *wide != L'\0'; ++wide) {
        text += static_cast<char16_t>(*wide);
    }
    return Utf16ToUtf8(text);
}

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::intptr_t FromHandle(HANDLE handle) {
    return reinterpret_cast<std::intptr_t>(handle);
}

// ---- Interrupts ----

// The temporary file being written, if any. The console's control handler runs on a thread of
// its own, so it and the writer take turns through this lock.
SRWLOCK temporaryLock = SRWLOCK_INIT;  // ready without a call, whoever writes first
std::wstring pendingTemporary;

BOOL WINAPI RemoveTemporaryAndDie(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            break;
        default:
            return FALSE;
    }
    // Never released: the process ends here, and the writer must not move the file meanwhile.
    AcquireSRWLockExclusive(&temporaryLock);
    if (!pendingTemporary.empty()) {
        // The writer opened it allowing deletion; it goes when the process closes it.
        DeleteFileW(pendingTemporary.c_str());
    }
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

struct TemporaryLockHeld {
    TemporaryLockHeld() { AcquireSRWLockExclusive(&temporaryLock); }
    ~TemporaryLockHeld() { ReleaseSRWLockExclusive(&temporaryLock); }
    TemporaryLockHeld(const TemporaryLockHeld&) = delete;
    TemporaryLockHeld& operator=(const TemporaryLockHeld&) = delete;
};

}  // namespace

// ---- The program ----

int RunProgram(int, char**, int (*run)(int argc, const char* const* argv)) {
    SetConsoleCtrlHandler(RemoveTemporaryAndDie, TRUE);
    // Binary standard streams: "\n" stays "\n", as on every other system.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);

    // The arguments as the system holds them, in UTF-16; the C runtime's narrow copies would have
    // passed through the code page and lost every character it lacks.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        Report(Message::CommandLineUnreadable);
        return 1;
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(Narrow(wide[i]));
    }
    LocalFree(wide);
    std::vector<const char*> pointers;
    for (const std::string& a : arguments) {
        pointers.push_back(a.c_str());
    }
    pointers.push_back(nullptr);
    const int status = run(count, pointers.data());
    std::fflush(stdout);
    std::fflush(stderr);
    return status;
}

// On a console, text is shown through the console's own UTF-16 interface, so that a path in any
// script reads right whatever the code page; redirected, its UTF-8 bytes go out as they are.
void family::WriteLine(bool standardOutput, const std::string& line) {
    std::FILE* stream = standardOutput ? stdout : stderr;
    const HANDLE handle = GetStdHandle(standardOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode)) {
        std::fflush(stream);
        const std::wstring wide = Wide(line);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::fwrite(line.data(), 1, line.size(), stream);
    if (standardOutput) {
        std::fflush(stream);
    }
}

bool ProcessorHasAvx2() {
    return IsProcessorFeaturePresent(PF_AVX2_INSTRUCTIONS_AVAILABLE) != 0;
}

// ---- Memory ----

void StorageRelease::operator()(std::uint8_t* bytes) const {
    delete[] bytes;
}

Storage AllocateStorage(std::uint64_t size) {
    if (size > SIZE_MAX / 2) {
        return Storage(nullptr, StorageRelease{});
    }
    return Storage(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)],
                   StorageRelease{});
}

// ---- Reading files ----

namespace family {

bool OpenRegularFile(const std::string& path, std::intptr_t& handle, std::uint64_t& size) {
    const HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    LARGE_INTEGER length{};
    // A folder cannot be opened this way; a device or a pipe is not a disk file.
    if (h == INVALID_HANDLE_VALUE || GetFileType(h) != FILE_TYPE_DISK ||
        !GetFileSizeEx(h, &length)) {
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
        }
        return false;
    }
    handle = FromHandle(h);
    size = static_cast<std::uint64_t>(length.QuadPart);
    return true;
}

bool ReadSomeAt(std::intptr_t handle, std::uint64_t offset, std::uint8_t* buffer, std::size_t size,
                std::size_t& got) {
    // A position given with each read: the file's own position is never used.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    const bool ok = ReadFile(AsHandle(handle), buffer, static_cast<DWORD>(size), &n, &at);
    got = ok ? n : 0;
    return ok || GetLastError() == ERROR_HANDLE_EOF;
}

}  // namespace family

bool IsSameFile(const InputFile& file, const std::string& path) {
    // No access asked for, and every kind of sharing allowed: this only looks at the file. Opening
    // follows links, and the folder flag lets a folder open too (it is then simply another file).
    const HANDLE named =
        CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (named == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION a{};
    BY_HANDLE_FILE_INFORMATION b{};
    const bool same = GetFileInformationByHandle(AsHandle(file.handle), &a) &&
                      GetFileInformationByHandle(named, &b) &&
                      a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                      a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
    CloseHandle(named);
    return same;
}

bool RemoveFile(const std::string& path) {
    return DeleteFileW(Wide(path).c_str()) != 0;
}

// ---- Writing files ----

namespace family {

PathKind KindOfPath(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return PathKind::Missing;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Directory : PathKind::Regular;
}

std::string ResolvedPath(const std::string& path) {
    const std::wstring wide = Wide(path);
    if ((GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return path;
    }
    const HANDLE target =
        CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (target == INVALID_HANDLE_VALUE) {
        return path;
    }
    std::wstring resolved(32768, L'\0');
    const DWORD length =
        GetFinalPathNameByHandleW(target, resolved.data(), static_cast<DWORD>(resolved.size()), 0);
    CloseHandle(target);
    if (length == 0 || length >= resolved.size()) {
        return path;
    }
    resolved.resize(length);
    return Narrow(resolved.c_str());
}

bool OpenExisting(const std::string& path, std::intptr_t& handle) {
    const HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    handle = FromHandle(h);
    return h != INVALID_HANDLE_VALUE;
}

bool CreateTemporary(const std::string& path, std::intptr_t& handle, bool& taken) {
    const std::wstring wide = Wide(path);
    const TemporaryLockHeld held;
    // Sharing deletion lets the control handler remove the file while it is still open.
    const HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    taken = h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS;
    handle = FromHandle(h);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    pendingTemporary = wide;
    return true;
}

bool WriteSome(std::intptr_t handle, const std::uint8_t* bytes, std::size_t size,
               std::size_t& wrote) {
    DWORD n = 0;
    const bool ok = WriteFile(AsHandle(handle), bytes, static_cast<DWORD>(size), &n, nullptr);
    wrote = n;
    return ok && n > 0;
}

bool CloseFile(std::intptr_t handle) {
    return CloseHandle(AsHandle(handle)) != 0;
}

bool FinishTemporary(const std::string& temp, const std::string& target, bool keep) {
    const TemporaryLockHeld held;
    const std::wstring wide = Wide(temp);
    // Replacing an existing file in one step: the target holds the old file or the new one,
    // never a mixture and never nothing.
    const bool moved =
        keep && MoveFileExW(wide.c_str(), Wide(target).c_str(), MOVEFILE_REPLACE_EXISTING);
    if (!moved) {
        DeleteFileW(wide.c_str());
    }
    pendingTemporary.clear();
    return moved;
}

std::uint64_t ProcessId() {
    return GetCurrentProcessId();
}

}  // namespace family

}  // namespace bmp2tvx
