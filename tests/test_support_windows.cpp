// Starting the tools, and what the tests may ask of the system, on Windows.
#include <windows.h>

#include <filesystem>

#include "process.h"
#include "test_support.h"

namespace bmp2tvx::test {

RunResult RunTool(const std::vector<std::string>& args, const std::string& cwd,
                  const RunOptions& options) {
    std::vector<std::string> command = options.prefix;
    command.push_back(options.program);
    command.insert(command.end(), args.begin(), args.end());
    const ProcessResult process = RunProcess(command, cwd);
    RunResult result;
    result.status = process.status;
    result.out = process.out;
    result.err = process.err;
    result.peakMemoryKiB = process.peakMemoryKiB;
    return result;
}

std::string WhyNoFileSizeLimit() {
    return "Windows cannot limit the size of the files one process writes";
}

std::string WhyNoPermissions() {
    return "the tests cannot take a file's read or a folder's write permission away on Windows";
}

std::string WhyNoDevFull() {
    return "Windows has no /dev/full";
}

std::string WhyNoSymlinks() {
    // Making links needs a privilege or developer mode: try it.
    TempDir dir;
    std::error_code error;
    std::filesystem::create_symlink(PathOf(dir / "target"), PathOf(dir / "link"), error);
    return error
               ? "this system does not let the tests make symbolic links (" + error.message() + ")"
               : "";
}

std::string ShortName(const std::string& path) {
    const std::wstring wide = PathOf(path).wstring();
    std::wstring shortPath(MAX_PATH, L'\0');
    const DWORD length =
        GetShortPathNameW(wide.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    if (length == 0 || length >= shortPath.size()) {
        return "";
    }
    shortPath.resize(length);
    const std::u8string name = std::filesystem::path(shortPath).filename().u8string();
    return std::string(name.begin(), name.end());
}

}  // namespace bmp2tvx::test
