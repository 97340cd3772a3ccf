// What each family of systems (POSIX, Windows) provides to the parts of this folder that are the
// same everywhere (common.cpp). Not for use outside system/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace bmp2tvx::family {

// Writes one finished line on standard output (flushed at once) or standard error. On a Windows
// console the text is shown as the UTF-8 it is; everywhere else its bytes go out as they are.
void WriteLine(bool standardOutput, const std::string& line);

// Opens a regular file for reading: false for anything else, or when it cannot be opened.
bool OpenRegularFile(const std::string& path, std::intptr_t& handle, std::uint64_t& size);

// Reads some of `size` bytes from byte `offset` on; `got` is 0 only where the file ends.
bool ReadSomeAt(std::intptr_t handle, std::uint64_t offset, std::uint8_t* buffer, std::size_t size,
                std::size_t& got);

enum class PathKind { Missing, Directory, Regular, Other };

// What a path names, following symbolic links.
PathKind KindOfPath(const std::string& path);

// The file a path finally names, through any symbolic links; the path itself when that cannot be
// worked out.
std::string ResolvedPath(const std::string& path);

// Opens an existing device or pipe for writing.
bool OpenExisting(const std::string& path, std::intptr_t& handle);

// Creates `path`, which must not exist yet (`taken` tells when it did), for writing, and records
// it as the temporary file that an interrupt removes, both in one step as far as interrupts see.
bool CreateTemporary(const std::string& path, std::intptr_t& handle, bool& taken);

// Writes some of `size` bytes, at least one; `wrote` says how many.
bool WriteSome(std::intptr_t handle, const std::uint8_t* bytes, std::size_t size,
               std::size_t& wrote);

bool CloseFile(std::intptr_t handle);

// Moves the recorded temporary file to `target` (replacing whatever is there) when `keep`, else
// removes it; the record is cleared either way, in one step as far as interrupts see. Returns
// whether the file is at `target`.
bool FinishTemporary(const std::string& temp, const std::string& target, bool keep);

// This process's number, which makes temporary names unique among running processes.
std::uint64_t ProcessId();

}  // namespace bmp2tvx::family
