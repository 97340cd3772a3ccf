// Everything the tools ask of the operating system: the command line, standard output and error
// (through the messages of system/messages.h), memory for pictures, reading a file at any offset,
// and writing a file beside its target and moving it into place. Nothing outside this folder
// includes a system header.
//
// Paths are UTF-8 everywhere inside the tools. On Windows the command line is read as UTF-16 from
// the system and files are opened through the wide-character API, so every name that Windows
// allows works whatever the console's code page; on POSIX systems paths are bytes, passed through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace bmp2tvx {

// ---- The program ---------------------------------------------------------------------------

// Runs `run` with the command line's arguments in UTF-8, the program's name first, and returns
// its result as the exit status. Before that, standard output and error are put in binary mode
// (a line ends in "\n" on every system), and interrupts (Ctrl-C, a termination request) are set
// to remove the temporary file of an output being written before the process ends.
int RunProgram(int argc, char** argv, int (*run)(int argc, const char* const* argv));

// Whether the processor has AVX2 and the system lets programs use it. Asks the C library, which
// has found out already, rather than the processor, whose answers cost dearly in some virtual
// machines; false where the system gives no cheap answer.
bool ProcessorHasAvx2();

// ---- Memory for pictures -------------------------------------------------------------------

// A block of bytes. On Linux large blocks are placed on 2 MiB boundaries and offered to the kernel
// as huge pages: touching a fresh 4 KiB page costs microseconds, and a 16 MiB picture has four
// thousand of them. Elsewhere it is ordinary memory.
struct StorageRelease {
    std::size_t mappedBytes = 0;
    void* mapping = nullptr;
    void operator()(std::uint8_t* bytes) const;
};
using Storage = std::unique_ptr<std::uint8_t[], StorageRelease>;

// Null if the system has no memory to give.
Storage AllocateStorage(std::uint64_t size);

// ---- Reading files -------------------------------------------------------------------------

// An open regular file, closed when the object goes; or a file's bytes held in memory, as the
// browser page and the fuzzing hand them over, read the same way. Only moved, never copied, so
// exactly one object owns each open file.
struct InputFile {
    std::intptr_t handle = -1;
    std::uint64_t size = 0;           // the file's length when it was opened
    std::string path;                 // as the user named it, for messages
    std::vector<std::uint8_t> bytes;  // the file in memory, when there is no handle

    InputFile() = default;
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    ~InputFile();
};

// A file of `bytes`, named `path`, that lives in memory.
InputFile FileInMemory(std::string path, std::vector<std::uint8_t> bytes);

// Opens a regular file for reading. Anything else (a missing file, a folder, a device, a pipe:
// reading /dev/zero would never end) prints "Could not open %s." and returns false.
bool OpenInputFile(const std::string& path, InputFile& file);

// Reads up to `size` bytes from byte `offset` on, in as few calls as the system allows; `got` is
// less than `size` only where the file ends. A failing read prints "Could not read %s." and
// returns false.
bool ReadInputFileAt(const InputFile& file, std::uint64_t offset, std::uint8_t* buffer,
                     std::uint64_t size, std::uint64_t& got);

// Whether `path` exists and names, through any symbolic links, the very file that `file` has
// open: the same device and inode on POSIX systems, the same volume serial number and file index
// on Windows (where a short 8.3 name, or a name that differs only in case, names the same file).
// A second name for a file is not always a second file, and writing to it would replace the
// file itself.
bool IsSameFile(const InputFile& file, const std::string& path);

// Whether `path` names a regular file, through any symbolic links.
bool IsRegularFile(const std::string& path);

// A shared library the system holds, by its file name, and a function of it by its name; none
// when there is no such library or function. A library stays loaded until the process ends. On
// POSIX systems only: the tool loads a library late on Linux alone (image/png_calls.h).
void* OpenSharedLibrary(const char* name);
void* SharedLibrarySymbol(void* library, const char* name);

// Removes a file; false when it could not be removed (or was not there).
bool RemoveFile(const std::string& path);

// ---- Writing files -------------------------------------------------------------------------

// An output written so that a failed or interrupted run never leaves a partial file at the
// output path, and a good file from an earlier run survives until the new one is complete: the
// bytes go to a temporary file beside the target, moved into place only once all are written.
// A problem is remembered rather than printed at once, so that the caller can first find out
// whether its input is good: a refused input is reported alone. An output that is never
// committed is abandoned when the object goes: its temporary file is removed, and nothing is
// printed. It stays where it was made, never copied or moved, so nothing else can finish it.
enum class OutputProblem { None, Open, Write };

struct OutputFile {
    std::intptr_t handle = -1;
    std::string path;       // the path as the user named it, for messages
    std::string finalPath;  // where the file ends up (a symbolic link's target)
    std::string tempPath;   // empty when writing straight to a device or pipe
    OutputProblem problem = OutputProblem::None;

    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();
};

// Opens a temporary file beside the output path (or, for an existing device or pipe, the path
// itself) for a `file` not yet opened. Returns false when that fails, remembered as an Open
// problem.
bool OpenOutputFile(const std::string& path, OutputFile& file);

// Appends bytes. Returns false once any write has failed (a Write problem); nothing more is
// written then.
bool WriteOutputFile(OutputFile& file, std::span<const std::uint8_t> bytes);

// Finishes the output: the file is moved into place, unless a problem was met (or `complete` is
// false: its writer could not make all of its bytes, a Write problem), whose line ("Could not open
// %s." or "Could not write %s.") is printed. Returns whether the output is at its path.
bool CommitOutputFile(OutputFile& file, bool complete = true);

// The folder part of a path, with its trailing separator ("" for a bare name). On Windows "\",
// "/" and a drive's "C:" all end a folder part.
std::string FolderOf(const std::string& path);

}  // namespace bmp2tvx
