#pragma once

namespace bmp2tvx {

// One whole conversion from the argument list (the program's name first, the input path last).
// Returns the process exit status: 0 on success and for the usage line, 1 when the run fails.
int RunConversion(int argc, const char* const* argv);

}  // namespace bmp2tvx
