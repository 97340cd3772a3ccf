// A program for the process-running tests to start: it reports what it was given.
//   process_windows_child EXIT MEBIBYTES [ARGUMENTS...]
// writes each argument as UTF-8 followed by a zero byte to standard output, its current folder and
// the number of bytes on its standard input to standard error, touches MEBIBYTES MiB of memory and
// exits with status EXIT, or crashes with an access violation if EXIT is "crash".
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string Narrow(const wchar_t* text) {
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), length, nullptr, nullptr);
    narrow.pop_back();  // the terminating zero
    return narrow;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        return 100;
    }
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    for (int i = 3; i < argc; ++i) {
        const std::string argument = Narrow(argv[i]);
        std::fwrite(argument.c_str(), 1, argument.size() + 1, stdout);
    }
    wchar_t folder[32768];
    ::GetCurrentDirectoryW(32768, folder);
    std::size_t input = 0;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;) {
        input += got;
    }
    std::fprintf(stderr, "%s\n%zu\n", Narrow(folder).c_str(), input);

    std::vector<char> memory(static_cast<std::size_t>(std::wcstoul(argv[2], nullptr, 10)) << 20);
    for (std::size_t i = 0; i < memory.size(); i += 4096) {
        memory[i] = 1;
    }
    volatile char kept = memory.empty() ? 0 : memory.back();  // the memory is really used
    static_cast<void>(kept);
    std::fflush(stdout);
    std::fflush(stderr);
    if (std::wcscmp(argv[1], L"crash") == 0) {
        ::RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    }
    return static_cast<int>(std::wcstoul(argv[1], nullptr, 10));
}
