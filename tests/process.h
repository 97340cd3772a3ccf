// Starting a program and capturing what it did: the part of running the tools that each operating
// system does its own way.
#pragma once

#include <string>
#include <vector>

namespace bmp2tvx::test {

struct ProcessResult {
    int status = -1;  // exit status, or -1 if the process did not exit normally (crashed, killed)
    std::string out;  // standard output, byte for byte
    std::string err;  // standard error, byte for byte
    // The process's peak resident memory (Windows: peak working set), or -1 if the system gives
    // no figure for a process that has ended (Wine).
    long peakMemoryKiB = -1;
};

// Runs command[0] with the rest of `command` as its arguments, in folder `cwd` (empty: this
// process's), with standard input empty and standard output and standard error captured. Names
// and arguments are UTF-8 and reach the program exactly as given. A program that cannot be
// started gives status 127, as from a shell, with the reason in `err`.
ProcessResult RunProcess(const std::vector<std::string>& command, const std::string& cwd);

}  // namespace bmp2tvx::test
