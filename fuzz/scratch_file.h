// One scratch file for a fuzzing run, in the system's temporary folder, removed when the process
// ends: the readers that take a path are fed through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace bmp2tvx::fuzz {

// Replaces the scratch file's contents with `size` bytes, and returns its path.
const std::string& WriteScratchFile(const std::uint8_t* data, std::size_t size);

}  // namespace bmp2tvx::fuzz
