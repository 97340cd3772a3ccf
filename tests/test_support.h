// Helpers shared by the tests: bitmaps built in memory, scratch folders, and running the tool.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "picture.h"

namespace bmp2tvx::test {

using Bytes = std::vector<std::uint8_t>;

// Peak memory a run may reach on small inputs; sanitizers add their own shadow memory.
#ifdef BMP2TVX_SANITIZED
constexpr long kSmallRunMemoryKiB = 512 * 1024;
#else
constexpr long kSmallRunMemoryKiB = 16 * 1024;
#endif

// A BMP to build. Pixels are given top row first, one byte per pixel (8-bit), blue, green, red
// (24-bit), little-endian words (16- and 32-bit) or rows packed and padded as stored (1- and
// 4-bit); the builder stores them bottom-up, or top-down with a negative height.
struct BmpSpec {
    std::int32_t width = 8;
    std::int32_t height = 8;
    std::uint16_t bitCount = 8;
    std::uint32_t infoSize = 40;
    std::uint32_t compression = 0;
    bool topDown = false;
    std::vector<ColorEntry> table;  // written as 4-byte entries
    std::uint32_t gap = 0;          // bytes between the colour table and the pixels
    Bytes pixels;                   // empty: all zero
};

Bytes BuildBmp(const BmpSpec& spec);

// The picture a built file loads to (a failed load fails the test), under the name `name`.
SourceImage LoadBmp(const BmpSpec& spec, const char* name = "built.bmp");

// Opens `path` and loads the picture in it, as the tool does.
bool LoadBitmapFile(const std::string& path, SourceImage& image);

// Every pixel byte of a picture, rows from the top, as it stores them.
Bytes RowsFromTop(SourceImage& image);

// Overwrites a little-endian field of a built file.
void Poke32(Bytes& file, std::size_t offset, std::uint32_t value);
void Poke16(Bytes& file, std::size_t offset, std::uint16_t value);

// A UTF-8 path as the standard library's path, on every system.
std::filesystem::path PathOf(const std::string& utf8);

// A fresh folder, removed with everything in it when the object goes.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);
bool FileExists(const std::string& path);
std::vector<std::string> ListDir(const std::string& path);

// Every entry of a folder and its subfolders with its bytes (a symbolic link as "-> " and its
// target; folders and devices as empty), to prove that a run added, removed and changed nothing.
std::map<std::string, Bytes> Snapshot(const std::string& dir);

struct RunResult {
    int status = -1;  // exit status, or -1 if the process did not exit normally
    std::string out;
    std::string err;
    long peakMemoryKiB = -1;  // the process's peak resident memory; -1 where none is known
};

// Checks a run's peak memory against a limit; where the system gave no figure (Wine, for a
// process that has ended), says so instead of passing silently.
void ExpectPeakMemoryBelow(const RunResult& run, long limitKiB);

struct RunOptions {
    long fileSizeLimit = -1;   // 0 or more: caps the size of any file written, as a full disk
    bool asOtherUser = false;  // run as "nobody" when we are root, so permissions apply
    std::string program = BMP2TVX_PATH;
    std::vector<std::string> prefix;  // arguments placed before the program (a checker, say)
};

// Runs bmp2tvx (or options.program) with `args` after the program name, in folder `cwd`.
RunResult RunTool(const std::vector<std::string>& args, const std::string& cwd,
                  const RunOptions& options = {});

// What a test case may need from the system. Each function returns why the system lacks it, or
// an empty string when it has it; a case that needs a missing facility is skipped with that
// reason printed (SkipCase), never passed silently.
std::string WhyNoFileSizeLimit();  // RunOptions::fileSizeLimit
std::string WhyNoPermissions();    // a file the tool cannot read, a folder it cannot write to
std::string WhyNoDevFull();        // /dev/full, a device on which every write fails
std::string WhyNoSymlinks();

// The short 8.3 name Windows gives a long file name ("PICTUR~1.TVX"), without its folder; empty
// where the system has none.
std::string ShortName(const std::string& path);

// Prints that a case of a table was skipped, and why.
void SkipCase(const std::string& name, const std::string& reason);

// Converts one BMP held in memory in a scratch folder and returns the output file's bytes.
Bytes ConvertInMemory(const Bytes& bmp, const std::vector<std::string>& flags = {});

}  // namespace bmp2tvx::test
