// Starting a program on Windows: CreateProcessW with a command line quoted so that the program's
// C runtime splits it back into exactly the arguments given, standard output and standard error
// into temporary files, and the exit code and peak working set read once it has finished.
#include <windows.h>  // before psapi.h, which needs its types

#include <psapi.h>

#include <string>
#include <vector>

#include "process.h"
#include "text.h"

namespace bmp2tvx::test {
namespace {

std::wstring Widen(const std::string& text) {
    const std::u16string wide = Utf8ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

// Appends one argument the way the C runtime's command-line parser (and CommandLineToArgvW) reads
// it back: inside double quotes, a run of backslashes is literal unless a double quote follows;
// then each backslash is doubled and the quote escaped with one more.
void AppendArgument(std::wstring& line, const std::wstring& argument) {
    line += L' ';
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, L'\\');  // the closing quote follows
    line += L'"';
}

// The program name follows simpler rules: it ends at the next double quote, with no escapes. No
// Windows file name contains one.
std::wstring CommandLine(const std::vector<std::wstring>& command) {
    std::wstring line = L"\"" + command[0] + L"\"";
    for (std::size_t i = 1; i < command.size(); ++i) {
        AppendArgument(line, command[i]);
    }
    return line;
}

std::string ErrorText(const char* what, const std::string& subject) {
    return std::string(what) + " " + subject + " (Windows error " +
           std::to_string(::GetLastError()) + ")\n";
}

// A handle that closes itself.
struct Handle {
    HANDLE h = INVALID_HANDLE_VALUE;
    Handle() = default;
    explicit Handle(HANDLE handle) : h(handle) {}
    ~Handle() {
        if (h != INVALID_HANDLE_VALUE && h != nullptr) {
            ::CloseHandle(h);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool ok() const { return h != INVALID_HANDLE_VALUE && h != nullptr; }
};

// A temporary file the child inherits as its standard output or error. Windows deletes it once
// the last handle to it closes, so nothing is left behind whatever happens.
HANDLE CaptureFile() {
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH || ::GetTempFileNameW(folder, L"run", 0, name) == 0) {
        return INVALID_HANDLE_VALUE;
    }
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return ::CreateFileW(
        name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

// Everything written to a capture file. The child moved the shared file position, so each read
// names its offset.
std::string ReadCapture(HANDLE file) {
    std::string text;
    char buffer[65536];
    for (;;) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(text.size());
        at.OffsetHigh = static_cast<DWORD>(static_cast<unsigned long long>(text.size()) >> 32);
        DWORD got = 0;
        if (!::ReadFile(file, buffer, sizeof buffer, &got, &at) || got == 0) {
            return text;
        }
        text.append(buffer, got);
    }
}

// One start of the program, with fresh capture files.
ProcessResult RunOnce(const std::vector<std::string>& command, const std::string& cwd) {
    ProcessResult result;
    result.status = 127;
    if (command.empty()) {
        result.err = "Nothing to run.\n";
        return result;
    }
    std::vector<std::wstring> wide;
    for (const std::string& word : command) {
        wide.push_back(Widen(word));
    }
    const std::wstring folder = Widen(cwd);

    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const Handle input(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inherit, OPEN_EXISTING, 0, nullptr));
    const Handle out(CaptureFile());
    const Handle err(CaptureFile());
    if (!input.ok() || !out.ok() || !err.ok()) {
        result.err = ErrorText("Could not make the capture files for", command[0]);
        return result;
    }

    // Every inheritable handle goes to the child; the only ones this process makes are the three
    // above, which it closes when the child has finished.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.h;
    startup.hStdOutput = out.h;
    startup.hStdError = err.h;
    PROCESS_INFORMATION started{};
    std::wstring line = CommandLine(wide);
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &started)) {
        result.err = ErrorText("Could not start", command[0]);
        return result;
    }
    const Handle process(started.hProcess);
    const Handle thread(started.hThread);

    ::WaitForSingleObject(process.h, INFINITE);
    // Windows keeps a process's counters until the last handle to it closes. Wine reads them from
    // the live Linux process, which is usually gone by now: then there is no figure. (Sampling
    // while the child runs would give one, but too low when the peak comes in its last moments.)
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    result.peakMemoryKiB =
        ::GetProcessMemoryInfo(process.h, &memory, sizeof memory) && memory.PeakWorkingSetSize > 0
            ? static_cast<long>(memory.PeakWorkingSetSize / 1024)
            : -1;
    DWORD code = 0;
    ::GetExitCodeProcess(process.h, &code);
    // A crash ends the process with the exception's status (0xC0000005 for an access violation
    // and so on): the counterpart of death by a signal.
    result.status = code >= 0xC0000000u ? -1 : static_cast<int>(code);
    result.out = ReadCapture(out.h);
    result.err = ReadCapture(err.h);
    return result;
}

}  // namespace

// Under Wine, now and then a new process loses its connection to the Wine server while Wine sets
// it up, on a busy machine: then CreateProcessW fails with ERROR_INTERNAL_ERROR, or the program
// dies with Wine's "wine client error" line, whatever it was asked to do. Windows gives neither
// for a fault of the program or its arguments, so such a run is made again, up to three times.
ProcessResult RunProcess(const std::vector<std::string>& command, const std::string& cwd) {
    for (int attempt = 1;; ++attempt) {
        ProcessResult result = RunOnce(command, cwd);
        const bool lost =
            result.status == 127
                ? result.err.find("(Windows error " + std::to_string(ERROR_INTERNAL_ERROR) + ")") !=
                      std::string::npos
                : result.status != 0 && result.err.starts_with("wine client error:");
        if (!lost || attempt == 3) {
            return result;
        }
        ::Sleep(100);
    }
}

}  // namespace bmp2tvx::test
