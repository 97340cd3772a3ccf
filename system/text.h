// Converting between the UTF-8 the tools use inside and the UTF-16 of Windows' system calls.
//
// Windows file names are sequences of 16-bit units that need not be valid UTF-16: a lone
// surrogate is allowed. So that every such name survives the round trip, a lone surrogate is
// carried as the three bytes UTF-8 would give its code point (the "WTF-8" form); every valid
// string converts as standard UTF-8.
#pragma once

#include <string>

namespace bmp2tvx {

std::string Utf16ToUtf8(const std::u16string& text);

// Bytes that are not UTF-8 become U+FFFD, one for each byte of a broken sequence.
std::u16string Utf8ToUtf16(const std::string& text);

}  // namespace bmp2tvx
