// Writing an output file so that a failed run never leaves a partial file at the output path,
// and a good file from an earlier run survives until the new one is complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace bmp2tvx {

struct OutputFile {
    int fd = -1;
    std::string path;       // the path as the user named it, for messages
    std::string finalPath;  // where the file ends up (a symbolic link's target)
    std::string tempPath;   // empty when writing straight to a device or pipe
    bool failed = false;
};

// Opens a temporary file beside the output path (or, for an existing device or pipe, the path
// itself). Prints "Could not open %s." and returns false on failure.
bool OpenOutputFile(const std::string& path, OutputFile& file);

// Appends bytes; a failure prints "Could not write %s." once and is remembered.
bool WriteOutputFile(OutputFile& file, std::span<const std::uint8_t> bytes);

// Marks the output as failed, printing "Could not write %s." unless a failure already was.
void FailOutputFile(OutputFile& file);

// Closes the file and, when every write succeeded, moves it into place. Otherwise removes the
// temporary file. Returns whether the output is complete at its path.
bool CloseOutputFile(OutputFile& file);

}  // namespace bmp2tvx
