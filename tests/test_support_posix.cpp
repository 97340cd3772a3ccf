// Starting the tools, and what the tests may ask of the system, on POSIX systems.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "test_support.h"

namespace bmp2tvx::test {
namespace {

constexpr uid_t kNobody = 65534;

// A copy of `program` that another user can reach and run: the build folder may sit inside a
// folder only its owner can enter (a clone in /root, say).
struct ReachableCopy {
    std::string folder;
    std::string program;
    explicit ReachableCopy(const std::string& original) {
        char pattern[] = "/tmp/bmp2tvx-program-XXXXXX";
        folder = ::mkdtemp(pattern);
        ::chmod(folder.c_str(), 0755);
        program = folder + "/" + std::filesystem::path(original).filename().string();
        std::filesystem::copy_file(original, program);
        ::chmod(program.c_str(), 0755);
    }
    ~ReachableCopy() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    ReachableCopy(const ReachableCopy&) = delete;
    ReachableCopy& operator=(const ReachableCopy&) = delete;
};

}  // namespace

RunResult RunTool(const std::vector<std::string>& args, const std::string& cwd,
                  const RunOptions& options) {
    TempDir capture;
    const std::string outPath = capture / "stdout";
    const std::string errPath = capture / "stderr";
    const bool switchUser = options.asOtherUser && ::geteuid() == 0;
    std::unique_ptr<ReachableCopy> copy;
    std::string program = options.program;
    if (switchUser && program.find('/') != std::string::npos) {
        copy = std::make_unique<ReachableCopy>(program);
        program = copy->program;
    }
    std::vector<std::string> words = options.prefix;
    words.push_back(program);
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
        if (switchUser &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
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
#ifdef __APPLE__
    result.peakMemoryKiB = usage.ru_maxrss / 1024;  // bytes there, KiB elsewhere
#else
    result.peakMemoryKiB = usage.ru_maxrss;
#endif
    const Bytes out = ReadFile(outPath);
    const Bytes err = ReadFile(errPath);
    result.out.assign(out.begin(), out.end());
    result.err.assign(err.begin(), err.end());
    return result;
}

std::string WhyNoFileSizeLimit() {
    return "";
}

std::string WhyNoPermissions() {
    return "";
}

std::string WhyNoDevFull() {
    struct stat info {};
    if (::stat("/dev/full", &info) != 0 || !S_ISCHR(info.st_mode)) {
        return "this system has no /dev/full";
    }
    return "";
}

std::string WhyNoSymlinks() {
    return "";
}

std::string ShortName(const std::string&) {
    return "";
}

}  // namespace bmp2tvx::test
