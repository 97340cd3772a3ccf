#include "tests/test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace bmp2tvx::test {

void Poke32(Bytes& file, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        file[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void Poke16(Bytes& file, std::size_t offset, std::uint16_t value) {
    file[offset] = static_cast<std::uint8_t>(value);
    file[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

Bytes BuildBmp(const BmpSpec& spec) {
    const std::size_t bytesPerPixel = spec.bitCount / 8u;
    const std::size_t rowBytes = static_cast<std::size_t>(spec.width) * bytesPerPixel;
    const std::size_t pixelBytes = rowBytes * static_cast<std::size_t>(spec.height);
    const std::size_t pixelOffset = 14 + spec.infoSize + 4 * spec.table.size() + spec.gap;
    Bytes file(pixelOffset + pixelBytes, 0);
    file[0] = 'B';
    file[1] = 'M';
    Poke32(file, 2, static_cast<std::uint32_t>(file.size()));
    Poke32(file, 10, static_cast<std::uint32_t>(pixelOffset));
    Poke32(file, 14, spec.infoSize);
    Poke32(file, 18, static_cast<std::uint32_t>(spec.width));
    Poke32(file, 22, static_cast<std::uint32_t>(spec.topDown ? -spec.height : spec.height));
    Poke16(file, 26, 1);
    Poke16(file, 28, spec.bitCount);
    Poke32(file, 30, spec.compression);
    Poke32(file, 46, static_cast<std::uint32_t>(spec.table.size()));
    // The longer info headers carry more fields; fill them with a pattern that must be ignored.
    for (std::size_t i = 54; i < 14 + spec.infoSize; ++i) {
        file[i] = static_cast<std::uint8_t>(0xA5);
    }
    std::size_t at = 14 + spec.infoSize;
    for (const ColorEntry& c : spec.table) {
        file[at++] = c.blue;
        file[at++] = c.green;
        file[at++] = c.red;
        file[at++] = 0;
    }
    for (std::size_t i = 0; i < spec.gap; ++i) {
        file[at++] = 0x5A;
    }
    if (!spec.pixels.empty()) {
        for (std::int32_t y = 0; y < spec.height; ++y) {
            const std::int32_t stored = spec.topDown ? y : spec.height - 1 - y;
            std::copy_n(
                spec.pixels.begin() + static_cast<std::ptrdiff_t>(rowBytes) * y, rowBytes,
                file.begin() + static_cast<std::ptrdiff_t>(
                                   pixelOffset + rowBytes * static_cast<std::size_t>(stored)));
        }
    }
    return file;
}

TempDir::TempDir() {
    char pattern[] = "/tmp/bmp2tvx-test-XXXXXX";
    path = ::mkdtemp(pattern);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path, ignored);
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::vector<std::string> ListDir(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::map<std::string, Bytes> Snapshot(const std::string& dir) {
    std::map<std::string, Bytes> files;
    for (const std::string& name : ListDir(dir)) {
        struct stat info {};
        ::lstat((dir + "/" + name).c_str(), &info);
        files[name] = S_ISREG(info.st_mode) ? ReadFile(dir + "/" + name) : Bytes{};
    }
    return files;
}

RunResult RunTool(const std::vector<std::string>& args, const std::string& cwd,
                  const RunOptions& options) {
    TempDir capture;
    const std::string outPath = capture / "stdout";
    const std::string errPath = capture / "stderr";
    std::vector<std::string> words = options.prefix;
    words.push_back(options.program);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);

    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) {
            ::_exit(127);
        }
        if (options.asOtherUser && ::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(127);
        }
        if (::chdir(cwd.c_str()) != 0) {
            ::_exit(127);
        }
        if (options.fileSizeLimit >= 0) {
            const struct rlimit limit = {static_cast<rlim_t>(options.fileSizeLimit),
                                         static_cast<rlim_t>(options.fileSizeLimit)};
            ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    RunResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.peakMemoryKiB = usage.ru_maxrss;
    const Bytes out = ReadFile(outPath);
    const Bytes err = ReadFile(errPath);
    result.out.assign(out.begin(), out.end());
    result.err.assign(err.begin(), err.end());
    return result;
}

Bytes ConvertInMemory(const Bytes& bmp, const std::vector<std::string>& flags) {
    TempDir dir;
    WriteFile(dir / "in.bmp", bmp);
    std::vector<std::string> args = flags;
    args.push_back("in.bmp");
    const RunResult run = RunTool(args, dir.path);
    if (run.status != 0) {
        return {};
    }
    return ReadFile(dir / "in.tvx");
}

}  // namespace bmp2tvx::test
