// Everything the tools ask of the operating system: the command line, standard output and error
// (through the messages of system/messages.h), memory for pictures, reading whole files, and
// writing a file beside its target and moving it into place. Nothing outside this folder includes a
// system header.
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

struct InputFile {
    std::intptr_t handle = -1;
    std::uint64_t size = 0;  // the file's length when it was opened
    std::string path;        // as the user named it, for messages
};

// Opens a regular file for reading. Anything else (a missing file, a folder, a device, a pipe:
// reading /dev/zero would never end) prints "Could not open %s." and returns false.
bool OpenInputFile(const std::string& path, InputFile& file);

// Reads up to `size` bytes from byte `offset` on, in as few calls as the system allows; `got` is
// less than `size` only where the file ends. A failing read prints "Could not read %s." and
// returns false.
bool ReadInputFileAt(const InputFile& file, std::uint64_t offset, std::uint8_t* buffer,
                     std::uint64_t size, std::uint64_t& got);

void CloseInputFile(InputFile& file);

// Whether `path` exists and names, through any symbolic links, the very file that `file` has
// open: the same device and inode on POSIX systems, the same volume serial number and file index
// on Windows (where a short 8.3 name, or a name that differs only in case, names the same file).
// A second name for a file is not always a second file, and writing to it would replace the
// file itself.
bool IsSameFile(const InputFile& file, const std::string& path);

// An open input file that closes itself, for a picture that keeps reading its file as it goes.
struct InputFileCloser {
    void operator()(InputFile* file) const;
};
using OwnedInputFile = std::unique_ptr<InputFile, InputFileCloser>;

// ---- Writing files -------------------------------------------------------------------------

// An output written so that a failed or interrupted run never leaves a partial file at the
// output path, and a good file from an earlier run survives until the new one is complete: the
// bytes go to a temporary file beside the target, moved into place only once all are written.
// A problem is remembered rather than printed at once, so that the writer can decide, once it
// has seen its whole input, whether the output's problem is the one to report.
enum class OutputProblem { None, Open, Write };

struct OutputFile {
    std::intptr_t handle = -1;
    std::string path;       // the path as the user named it, for messages
    std::string finalPath;  // where the file ends up (a symbolic link's target)
    std::string tempPath;   // empty when writing straight to a device or pipe
    OutputProblem problem = OutputProblem::None;
};

// Opens a temporary file beside the output path (or, for an existing device or pipe, the path
// itself). Returns false when that fails, remembered as an Open problem.
bool OpenOutputFile(const std::string& path, OutputFile& file);

// Appends bytes. Returns false once any write has failed (a Write problem); nothing more is
// written then.
bool WriteOutputFile(OutputFile& file, std::span<const std::uint8_t> bytes);

// How the work of the output's writer ended.
enum class OutputEnd {
    Complete,   // every byte was handed over
    Failed,     // the writer could not make its bytes
    Abandoned,  // the input failed, and said so
};

// Finishes the output. Complete: the file is moved into place, unless a problem was met, whose
// line ("Could not open %s." or "Could not write %s.") is printed. Failed: that line is printed,
// "Could not write %s." when no problem was met. Abandoned: nothing is printed. The temporary file
// is removed in every case but success. Returns whether the output is complete at its path.
bool FinishOutputFile(OutputFile& file, OutputEnd end);

// The folder part of a path, with its trailing separator ("" for a bare name). On Windows "\",
// "/" and a drive's "C:" all end a folder part.
std::string FolderOf(const std::string& path);

}  // namespace bmp2tvx
